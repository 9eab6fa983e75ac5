#pragma once
// TIFF pictures on Linux, through libtiff.
#include <memory>
#include <string>

#include "imaging/Picture.h"

class TTiffPicture : public TPicture {
public:
    TTiffPicture();
    ~TTiffPicture() override;

    // Refuses a file that is not a TIFF, one whose first picture libtiff cannot turn into
    // colours, and one whose size cannot be held.
    bool Open(const std::string& path) override;
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    // Reads a strip, or a row of tiles, at a time, and fails when one of those does not fit in
    // the memory budget.
    bool Decode(const TPictureTarget& target) override;

private:
    std::unique_ptr<Impl> FImpl;
};
