#pragma once
// WebP pictures on Linux, through libwebp.
#include <memory>
#include <string>

#include "imaging/Picture.h"

class TWebpPicture : public TPicture {
public:
    TWebpPicture();
    ~TWebpPicture() override;

    // Reads the whole file (WebP decodes from memory; a file larger than the memory budget is
    // refused), and refuses one that is not a WebP or announces a size that cannot be held.
    bool Open(const std::string& path) override;
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    // libwebp scales while it decodes, into the target itself or a buffer of the target's size.
    // Of an animation, the first frame is shown.
    bool Decode(const TPictureTarget& target) override;

private:
    bool DecodeFirstFrame(const TPictureTarget& target);

    std::unique_ptr<Impl> FImpl;
};
