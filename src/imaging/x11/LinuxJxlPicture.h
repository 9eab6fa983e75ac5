#pragma once
// JPEG XL pictures through Debian's libjxl, which gives the first frame whole, upright: its
// rows are then reduced to the stored size as any other decoder's are.
#include <memory>
#include <string>

#include "imaging/Picture.h"

class TJxlPicture : public TPicture {
public:
    TJxlPicture();
    ~TJxlPicture() override;

    // Reads the file into memory and its header; false for a file that is not JPEG XL, ends
    // before its header, or whose picture is not HoldablePicture.
    bool Open(const std::string& path) override;
    // The upright size: the coded one, its sides exchanged by orientations 5 to 8.
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    bool Decode(const TPictureTarget& target) override;

private:
    std::unique_ptr<Impl> FImpl;
};
