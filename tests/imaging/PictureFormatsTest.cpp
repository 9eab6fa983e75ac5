#include "imaging/PictureFormats.h"

#include <gtest/gtest.h>

#include <string>

#include "core/PictureKinds.h"
#include "framework/Bitmap.h"
#include "support/TestSupport.h"

TEST(PictureKinds, NamesAndSignaturesAgreeOnEveryKind)
{
    // One file of each kind: its name's kind, and the first bytes such a file starts with.
    struct Case {
        const char* Name;
        TPictureKind Kind;
        std::string Head;
    };
    const Case cases[] = {
        {"a.JPG", TPictureKind::Jpeg, std::string("\xFF\xD8\xFF\xE0", 4)},
        {"b.png", TPictureKind::Png, std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)},
        {"c.tif", TPictureKind::Tiff, std::string("II*\0\x08\0\0\0", 8)},
        {"d.TIFF", TPictureKind::Tiff, std::string("MM\0*\0\0\0\x08", 8)},
        {"e.webp", TPictureKind::Webp, std::string("RIFF\x24\0\0\0WEBPVP8 ", 16)},
        {"f.heic", TPictureKind::Heif,
         std::string("\0\0\0\x18"
                     "ftypheic\0\0\0\0",
                     16)},
        {"g.avif", TPictureKind::Heif,
         std::string("\0\0\0\x1C"
                     "ftypavif\0\0\0\0",
                     16)},
        {"h.HEIF", TPictureKind::Heif,
         std::string("\0\0\0\x18"
                     "ftypmif1\0\0\0\0",
                     16)},
        {"i.jxl", TPictureKind::Jxl, std::string("\xFF\x0A\xFA\x1F", 4)},
        {"j.jxl", TPictureKind::Jxl, std::string("\0\0\0\x0CJXL \r\n\x87\n", 12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PictureKindOfName(c.Name), c.Kind);
        EXPECT_EQ(PictureKindOfBytes(reinterpret_cast<const uint8_t*>(c.Head.data()), c.Head.size()), c.Kind);
        EXPECT_EQ(IsShownPictureName(c.Name, false), c.Kind == TPictureKind::Jpeg);
        EXPECT_TRUE(IsShownPictureName(c.Name, true));
        // Cut short, a signature is no signature.
        EXPECT_EQ(PictureKindOfBytes(reinterpret_cast<const uint8_t*>(c.Head.data()), 1), TPictureKind::None);
    }
    for (const char* other : {"k.gif", "l.bmp", "m.heic.txt", "png", "n.", ""})
        EXPECT_EQ(PictureKindOfName(other), TPictureKind::None) << other;
    const std::string mp4(
        "\0\0\0\x18"
        "ftypisom\0\0\0\0",
        16),
        gif("GIF89a");
    for (const std::string& other : {mp4, gif})
        EXPECT_EQ(PictureKindOfBytes(reinterpret_cast<const uint8_t*>(other.data()), other.size()), TPictureKind::None);
    EXPECT_EQ(ShownPictureExtensions(false), (std::vector<std::string>{"jpg", "jpeg"}));
}

TEST(PictureFormats, AFileOfAnotherKindThanItsNameSaysIsSkippedAndNothingIsLeftBehind)
{
    TempDir dir;
    // A JPEG's bytes under each other kind's name, and another kind's signature under a JPEG's.
    const std::string jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11), png("\x89PNG\r\n\x1A\n", 8);
    for (const char* name : {"x.png", "x.tif", "x.webp", "x.heic", "x.avif", "x.jxl"}) {
        dir.WriteFile(name, jpeg);
        TBitmap bitmap;
        bitmap.SetSize(3, 3);
        EXPECT_FALSE(LoadPictureIntoBitmap(bitmap, dir.Str() + "/" + name)) << name;
        EXPECT_TRUE(bitmap.Empty()) << name;
    }
    dir.WriteFile("y.jpg", png);
    TBitmap bitmap;
    EXPECT_FALSE(LoadPictureIntoBitmap(bitmap, dir.Str() + "/y.jpg"));
    EXPECT_EQ(MakePicture("z.gif"), nullptr);
}
