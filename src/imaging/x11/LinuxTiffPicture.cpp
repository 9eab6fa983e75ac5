// TIFF pictures through libtiff's RGBA reader, a band of rows at a time.
// Implements: TTiffPicture (LinuxTiffPicture.h): strips and tiles, contiguous or separate
//   planes, every photometric interpretation and depth libtiff's RGBA reader converts, alpha,
//   the Orientation tag.
// Leaves out: every page past the first; colour profiles (the pictures are taken as sRGB);
//   pictures whose strip or row of tiles does not fit in the memory budget (a picture stored as
//   one compressed strip can be too large for it).
#include "imaging/x11/LinuxTiffPicture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include <tiffio.h>
#include <unistd.h>

#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

struct TTiffPicture::Impl {
    std::FILE* File = nullptr;
    uint64_t FileBytes = 0;
    // The file read whole, for the pictures libtiff reads only as if from a mapped file, and
    // the most it may take.
    std::vector<uint8_t> Held;
    long HeldBudget = 0;
    TIFF* Tiff = nullptr;
    int Width = 0, Height = 0, Orientation = 1;
    bool Opened = false;

    ~Impl()
    {
        if (Tiff != nullptr) TIFFClose(Tiff);
        if (File != nullptr) std::fclose(File);
    }

    bool Turned() const { return Orientation >= 5; }
};

namespace {

using TImpl = TTiffPicture::Impl;

extern "C" {
// libtiff reads through the file the picture was opened with, which the decoder closes itself.
static tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    if (size < 0) return -1;
    return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<TImpl*>(handle)->File));
}
static tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }
static toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    std::FILE* file = static_cast<TImpl*>(handle)->File;
    if (offset > static_cast<toff_t>(std::numeric_limits<off_t>::max()) ||
        fseeko(file, static_cast<off_t>(offset), whence) != 0)
        return static_cast<toff_t>(-1);
    return static_cast<toff_t>(ftello(file));
}
static int CloseProc(thandle_t) { return 0; }
static toff_t SizeProc(thandle_t handle) { return static_cast<TImpl*>(handle)->FileBytes; }
// "Mapping" is reading the file whole into memory of the decoder's own: a real mapping of a
// file that someone else cuts short while it is read would end the program.
static int MapProc(thandle_t handle, void** base, toff_t* size)
{
    TImpl* tiff = static_cast<TImpl*>(handle);
    if (tiff->FileBytes > static_cast<uint64_t>(tiff->HeldBudget)) return 0;
    if (tiff->Held.size() != tiff->FileBytes) {
        try {
            tiff->Held.resize(static_cast<size_t>(tiff->FileBytes));
        } catch (const std::bad_alloc&) {
            tiff->Held.clear();
            return 0;
        }
        const ssize_t got = pread(fileno(tiff->File), tiff->Held.data(), tiff->Held.size(), 0);
        if (got < 0 || static_cast<size_t>(got) != tiff->Held.size()) {
            tiff->Held.clear();
            return 0;
        }
    }
    *base = tiff->Held.data();
    *size = tiff->FileBytes;
    return 1;
}
static void UnmapProc(thandle_t, void*, toff_t) {}

// A damaged picture is simply not shown: nothing libtiff says is printed.
static int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }
}

// Messages met before a file is open, or where libtiff has none at hand, go to the process's
// handlers: no part of the program wants them printed either.
void SilenceLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

bool IsTiff(std::FILE* file)
{
    unsigned char magic[4];
    if (std::fread(magic, 1, sizeof magic, file) != sizeof magic || std::fseek(file, 0, SEEK_SET) != 0) return false;
    // Classic TIFF (42) and BigTIFF (43), in either byte order.
    return (magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
           (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43));
}

// Ends the RGBA reader however the decoding ends.
struct TRgbaReader {
    TIFFRGBAImage Image{};
    bool Begun = false;
    ~TRgbaReader()
    {
        if (Begun) TIFFRGBAImageEnd(&Image);
    }
};

// The rows read at a time and the bytes libtiff holds for them (a strip, or a row of tiles,
// of each plane). Zero rows when the file's layout cannot be made out.
struct TBand {
    uint32_t Rows = 0;
    uint64_t LibraryBytes = 0;
};

TBand BandOf(TIFF* tiff, uint32_t height)
{
    uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const uint64_t planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
    TBand band;
    if (TIFFIsTiled(tiff)) {
        uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        band.Rows = tileWidth == 0 ? 0 : tileHeight;
        band.LibraryBytes = static_cast<uint64_t>(TIFFTileSize64(tiff)) * planes;
    } else {
        uint32_t rowsPerStrip = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        band.Rows = rowsPerStrip;
        band.LibraryBytes = static_cast<uint64_t>(TIFFStripSize64(tiff)) * planes;
    }
    band.Rows = std::min(band.Rows, height);
    if (band.LibraryBytes == 0) band.Rows = 0;
    return band;
}

// The RGBA reader's pixels, red in the low byte and alpha in the high one, already multiplied
// by their alpha: over black, alpha is simply dropped.
void AbgrToXrgb(const uint32_t* abgr, uint32_t* out, int width)
{
    for (int x = 0; x < width; ++x) {
        const uint32_t p = abgr[x];
        out[x] = (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
    }
}

bool OpenTiff(TImpl& tiff, bool mapped, long budget)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    // No single table or buffer past the budget: a damaged directory may announce millions of
    // strips.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(budget));
    tiff.Tiff = TIFFClientOpenExt("picture", mapped ? "r" : "rm", &tiff, ReadProc, WriteProc, SeekProc, CloseProc,
                                  SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff.Tiff != nullptr;
}

}  // namespace

TTiffPicture::TTiffPicture() : FImpl(std::make_unique<Impl>()) {}
TTiffPicture::~TTiffPicture() = default;

bool TTiffPicture::Open(const std::string& path)
{
    Impl& tiff = *FImpl;
    if (tiff.File != nullptr) return false;
    FPath = path;
    tiff.File = OpenPictureFile(path, &tiff.FileBytes);
    if (tiff.File == nullptr || !IsTiff(tiff.File)) return false;
    SilenceLibrary();
    if (!OpenTiff(tiff, false, FBudget)) return false;
    // libtiff 4.5 refuses every uncompressed tile it reads through a buffer of its own (it
    // takes the buffer's rounded size for the tile's), and reads them straight from a mapped
    // file. Only those files are "mapped": read whole, within the memory budget.
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.Tiff, TIFFTAG_COMPRESSION, &compression);
    if (TIFFIsTiled(tiff.Tiff) && compression == COMPRESSION_NONE) {
        TIFFClose(tiff.Tiff);
        tiff.Tiff = nullptr;
        tiff.HeldBudget = FBudget;
        if (std::fseek(tiff.File, 0, SEEK_SET) != 0 || !OpenTiff(tiff, true, FBudget)) return false;
    }
    char message[1024];
    uint32_t width = 0, height = 0;
    if (!TIFFRGBAImageOK(tiff.Tiff, message) || !TIFFGetField(tiff.Tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.Tiff, TIFFTAG_IMAGELENGTH, &height) ||
        width > static_cast<uint32_t>(std::numeric_limits<int>::max()) ||
        height > static_cast<uint32_t>(std::numeric_limits<int>::max()) ||
        !HoldablePicture(static_cast<int>(width), static_cast<int>(height)))
        return false;
    tiff.Width = static_cast<int>(width);
    tiff.Height = static_cast<int>(height);
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.Tiff, TIFFTAG_ORIENTATION, &orientation);
    tiff.Orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    tiff.Opened = true;
    return true;
}

int TTiffPicture::OwnWidth() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Height : FImpl->Width; }
int TTiffPicture::OwnHeight() const { return !FImpl->Opened ? 0 : FImpl->Turned() ? FImpl->Width : FImpl->Height; }

bool TTiffPicture::Decode(const TPictureTarget& target)
{
    Impl& tiff = *FImpl;
    if (!tiff.Opened) return false;
    try {
        TRgbaReader reader;
        char message[1024];
        reader.Begun = TIFFRGBAImageBegin(&reader.Image, tiff.Tiff, 1, message) != 0;
        if (!reader.Begun || reader.Image.width != static_cast<uint32_t>(tiff.Width) ||
            reader.Image.height != static_cast<uint32_t>(tiff.Height))
            return false;
        // The rows as the file stores them, top first: the orientation is the stored rows'
        // concern, applied once, below.
        reader.Image.orientation = ORIENTATION_TOPLEFT;
        reader.Image.req_orientation = ORIENTATION_TOPLEFT;
        // After the reader began: it may have asked the JPEG codec for RGB, which changes the
        // strips' decoded size.
        const TBand band = BandOf(tiff.Tiff, reader.Image.height);
        if (band.Rows == 0) return false;
        const uint64_t rasterBytes = static_cast<uint64_t>(tiff.Width) * band.Rows * 4;
        if (rasterBytes + band.LibraryBytes > static_cast<uint64_t>(FBudget)) return false;

        TStoredRows rows(tiff.Width, tiff.Height, tiff.Orientation, target);
        std::vector<uint32_t> raster(static_cast<size_t>(rasterBytes / 4));
        std::vector<uint32_t> pixels(static_cast<size_t>(tiff.Width));
        for (uint32_t top = 0; top < reader.Image.height; top += band.Rows) {
            if (Cancelled()) return false;
            const uint32_t count = std::min(band.Rows, reader.Image.height - top);
            reader.Image.row_offset = static_cast<int>(top);
            reader.Image.col_offset = 0;
            if (!TIFFRGBAImageGet(&reader.Image, raster.data(), reader.Image.width, count)) return false;
            for (uint32_t y = 0; y < count; ++y) {
                if (Cancelled()) return false;
                AbgrToXrgb(raster.data() + static_cast<size_t>(y) * reader.Image.width, pixels.data(), tiff.Width);
                rows.Put(pixels.data());
            }
        }
        rows.Finish();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::invalid_argument&) {
        return false;
    }
}
