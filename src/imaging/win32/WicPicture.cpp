// Implements: TWicPicture (WicPicture.h).
// The frame is converted to 32-bit blue, green, red, alpha by the system, read a band of rows
// at a time, drawn over black and handed to the stored-rows path, which reduces and turns it
// as every other decoder's rows are.
#include "imaging/win32/WicPicture.h"

#include <cstdio>
#include <new>
#include <vector>

#include "core/win32/Win32Unicode.h"
#include "imaging/PictureFormats.h"
#include "imaging/PictureLimits.h"
#include "imaging/StoredRows.h"

#include <objbase.h>
#include <propidl.h>
#include <wincodec.h>

namespace {
// Rows asked of the system at a time: few enough to keep the band small, enough that each
// call's own cost does not count.
constexpr int BandRows = 16;

// Releases a COM pointer when it goes out of scope.
template <typename T>
struct TCom {
    T* P = nullptr;
    TCom() = default;
    TCom(const TCom&) = delete;
    TCom& operator=(const TCom&) = delete;
    ~TCom() { Reset(); }
    void Reset()
    {
        if (P) P->Release();
        P = nullptr;
    }
    T** Put()
    {
        Reset();
        return &P;
    }
    T* operator->() const { return P; }
};

// The orientation the picture's metadata records (1 to 8), by the photo property the system
// maps onto each format's own field, or TIFF's own tag; 1 when there is none.
int MetadataOrientation(IWICBitmapFrameDecode* frame, TPictureKind kind)
{
    TCom<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(reader.Put())) || !reader.P) return 1;
    const wchar_t* names[] = {L"System.Photo.Orientation", kind == TPictureKind::Tiff ? L"/ifd/{ushort=274}" : nullptr};
    for (const wchar_t* name : names) {
        if (!name) continue;
        PROPVARIANT value;
        PropVariantInit(&value);
        int orientation = 0;
        if (SUCCEEDED(reader->GetMetadataByName(name, &value)) && value.vt == VT_UI2) orientation = value.uiVal;
        PropVariantClear(&value);
        if (orientation >= 1 && orientation <= 8) return orientation;
    }
    return 1;
}
}  // namespace

struct TWicPicture::Impl {
    bool ComStarted = false;
    TCom<IWICImagingFactory> Factory;
    TCom<IWICBitmapDecoder> Decoder;
    TCom<IWICBitmapFrameDecode> Frame;
    int Width = 0, Height = 0;  // as the file stores the picture
    int Orientation = 1;

    ~Impl()
    {
        Frame.Reset();
        Decoder.Reset();
        Factory.Reset();
        if (ComStarted) CoUninitialize();
    }
    bool Turned() const { return Orientation >= 5; }
};

TWicPicture::TWicPicture(TPictureKind kind) : FKind(kind), FImpl(std::make_unique<Impl>()) {}
TWicPicture::~TWicPicture() = default;

bool TWicPicture::Open(const std::string& path)
{
    if (FImpl->Frame.P || !FPath.empty()) return false;
    FPath = path;
    // The size limit, and bytes of the kind the name says: the system would take a PNG named
    // .tif as gladly as a TIFF.
    std::FILE* file = OpenPictureFile(path);
    if (!file) return false;
    uint8_t head[32];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (PictureKindOfBytes(head, got) != FKind) return false;

    // Any thread may load pictures: the show's worker as well as the user-interface thread,
    // which has COM started in another model already (and then keeps it).
    const HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    FImpl->ComStarted = SUCCEEDED(started);
    if (FAILED(started) && started != RPC_E_CHANGED_MODE) return false;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(FImpl->Factory.Put()))))
        return false;
    const std::wstring wide = Win32Unicode::LongPath(path);
    if (FAILED(FImpl->Factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                         WICDecodeMetadataCacheOnDemand, FImpl->Decoder.Put())))
        return false;
    if (FAILED(FImpl->Decoder->GetFrame(0, FImpl->Frame.Put()))) return false;
    UINT width = 0, height = 0;
    if (FAILED(FImpl->Frame->GetSize(&width, &height))) return false;
    // The system's decoders may hold the whole picture: what may be held bounds what opens.
    if (width > 65535 || height > 65535 || !HoldablePicture(int(width), int(height))) return false;
    FImpl->Width = int(width);
    FImpl->Height = int(height);
    // HEIF's own transforms are the system decoder's to apply, as they are libheif's on Linux.
    FImpl->Orientation = FKind == TPictureKind::Heif ? 1 : MetadataOrientation(FImpl->Frame.P, FKind);
    return true;
}

int TWicPicture::OwnWidth() const { return FImpl->Turned() ? FImpl->Height : FImpl->Width; }
int TWicPicture::OwnHeight() const { return FImpl->Turned() ? FImpl->Width : FImpl->Height; }

bool TWicPicture::Decode(const TPictureTarget& target)
{
    Impl& impl = *FImpl;
    if (!impl.Frame.P) return false;
    TCom<IWICFormatConverter> converter;
    if (FAILED(impl.Factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(impl.Frame.P, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    try {
        TStoredRows rows(impl.Width, impl.Height, impl.Orientation, target);
        const UINT stride = UINT(impl.Width) * 4;
        std::vector<uint8_t> band(size_t(stride) * BandRows);
        std::vector<uint8_t> rgba(static_cast<size_t>(stride));
        std::vector<uint32_t> row(size_t(impl.Width));
        for (int y = 0; y < impl.Height; y += BandRows) {
            if (Cancelled()) return false;
            const int count = impl.Height - y < BandRows ? impl.Height - y : BandRows;
            const WICRect rect{0, y, impl.Width, count};
            if (FAILED(converter->CopyPixels(&rect, stride, stride * UINT(count), band.data()))) return false;
            for (int i = 0; i < count; ++i) {
                // Blue, green, red, alpha as red, green, blue, alpha, then over black.
                const uint8_t* in = band.data() + size_t(i) * stride;
                for (size_t x = 0; x < stride; x += 4) {
                    rgba[x] = in[x + 2];
                    rgba[x + 1] = in[x + 1];
                    rgba[x + 2] = in[x];
                    rgba[x + 3] = in[x + 3];
                }
                RgbaOverBlack(rgba.data(), row.data(), impl.Width);
                rows.Put(row.data());
            }
        }
        rows.Finish();
    } catch (const std::exception&) {
        return false;
    }
    // The file is let go as soon as the picture is in.
    impl.Frame.Reset();
    impl.Decoder.Reset();
    return true;
}
