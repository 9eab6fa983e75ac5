#pragma once
// Pictures of the kinds beyond JPEG on Windows, decoded by the system's own Imaging Component:
// PNG and TIFF always, HEIF, AVIF, WebP and JPEG XL where the system has those codecs. No
// decoder library of the program's own is linked for them. A picture the system cannot
// decode fails to open, as a damaged one does.
#include <memory>

#include "core/PictureKinds.h"
#include "imaging/Picture.h"

class TWicPicture : public TPicture {
public:
    // kind: what the file's name says it is; a file whose bytes are another kind fails to open.
    explicit TWicPicture(TPictureKind kind);
    ~TWicPicture() override;

    bool Open(const std::string& path) override;
    int OwnWidth() const override;
    int OwnHeight() const override;

    struct Impl;

protected:
    bool Decode(const TPictureTarget& target) override;

private:
    TPictureKind FKind;
    std::unique_ptr<Impl> FImpl;
};
