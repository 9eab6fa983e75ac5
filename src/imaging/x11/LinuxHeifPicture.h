#pragma once
// HEIC, HEIF and AVIF pictures through Debian's libheif (HEVC by libde265, AV1 by dav1d or
// aom), which decodes a picture whole: its rows are then reduced to the stored size as any
// other decoder's are.
#include <memory>
#include <string>

#include "imaging/Picture.h"

class THeifPicture : public TPicture {
public:
    THeifPicture();
    ~THeifPicture() override;

    // Reads the file's boxes; false for a file that is no HEIF of a kind libheif reads, has no
    // primary picture, or whose picture is not HoldablePicture. The file stays open until the
    // decoding, which reads the coded picture from it.
    bool Open(const std::string& path) override;
    // The primary picture's size after its own rotation, mirroring and cropping, which libheif
    // applies as it decodes.
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    bool Decode(const TPictureTarget& target) override;

private:
    std::unique_ptr<Impl> FImpl;
};
