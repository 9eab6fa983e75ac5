#pragma once
// PNG pictures on Linux, through libpng.
#include <memory>
#include <string>

#include "imaging/Picture.h"

class TPngPicture : public TPicture {
public:
    TPngPicture();
    ~TPngPicture() override;

    // Refuses a file that is not a PNG, and one whose header announces a size that cannot be
    // held (or past 65535 pixels a side), before anything is allocated for its pixels.
    bool Open(const std::string& path) override;
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    // Rows are read one at a time and reduced as they come; an interlaced picture is read whole
    // first, and fails when it does not fit in the memory budget.
    bool Decode(const TPictureTarget& target) override;

private:
    std::unique_ptr<Impl> FImpl;
};
