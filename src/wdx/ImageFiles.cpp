// The BMP and TGA readers. Every offset and length comes from the file and is checked
// against the bytes actually held before it is used; sizes are computed in 64 bits.
#include "wdx/ImageFiles.h"

#include "core/Paths.h"
#include "imaging/PictureLimits.h"

#include <cstdio>
#include <exception>
#include <memory>

namespace {
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

// One colour channel of a bit-field pixel, scaled to 0..255.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    explicit TChannel(uint32_t mask) : Mask(mask)
    {
        if (!mask) return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++Shift;
        }
        Max = mask;
    }
    uint8_t Of(uint32_t value) const
    {
        if (!Max) return 0;
        // In 64 bits: a field wider than 24 bits times 255 does not fit in 32.
        return static_cast<uint8_t>(uint64_t{(value & Mask) >> Shift} * 255u / Max);
    }
};

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitfields = 3;

bool DecodeBmp(const uint8_t* data, size_t size, TLoadedBitmap& out)
{
    if (size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    const uint64_t offBits = U32(data + 10);
    const uint64_t headerSize = U32(data + 14);
    if (headerSize != 12 && headerSize < 40) return false;
    if (14 + headerSize > size) return false;

    int64_t width, height;
    unsigned bits;
    uint32_t compression = BiRgb, colorsUsed = 0;
    uint64_t tableAt = 14 + headerSize;
    unsigned entryBytes = 4;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (headerSize == 12) {
        // The old OS/2 header: unsigned 16-bit sizes, 3-byte colour table entries.
        width = U16(data + 18);
        height = U16(data + 20);
        bits = U16(data + 24);
        entryBytes = 3;
    } else {
        width = I32(data + 18);
        height = I32(data + 22);
        bits = U16(data + 28);
        compression = U32(data + 30);
        colorsUsed = U32(data + 46);
        if (compression == BiBitfields) {
            // A plain 40-byte header is followed by the three masks; larger ones hold them.
            const uint64_t masksAt = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
            if (masksAt + 12 > size) return false;
            for (int i = 0; i < 3; ++i) masks[i] = U32(data + masksAt + 4 * i);
            if (headerSize < 52) tableAt += 12;
        }
    }
    const bool bottomUp = height > 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    // Each byte of a 1-bit file becomes 24 bytes of the bitmap: its size alone bounds nothing.
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > MaxPicturePixels) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (compression == BiBitfields ? (bits != 16 && bits != 32) : compression != BiRgb) return false;
    if (compression == BiRgb && bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }

    out.ColorTable.clear();
    out.FileBits = static_cast<int>(bits);
    if (bits <= 8) {
        uint64_t entries = colorsUsed ? colorsUsed : uint64_t{1} << bits;
        if (entries > (uint64_t{1} << bits)) entries = uint64_t{1} << bits;
        // A table cut short by the pixels or the file's end keeps what is there.
        const uint64_t end = offBits < size ? offBits : size;
        for (uint64_t i = 0; i < entries && tableAt + (i + 1) * entryBytes <= end; ++i) {
            const uint8_t* e = data + tableAt + i * entryBytes;
            out.ColorTable.push_back(static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0]);
        }
    }

    const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (offBits > size || rowBytes * static_cast<uint64_t>(height) > size - offBits) return false;

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    out.Pixels.SetSizeUninitialized(w, h);
    const TChannel red(masks[0]), green(masks[1]), blue(masks[2]);
    const std::vector<uint32_t>& table = out.ColorTable;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = data + offBits + rowBytes * static_cast<uint64_t>(bottomUp ? h - 1 - y : y);
        uint8_t* dest = out.Pixels.ScanLine(y);
        for (int x = 0; x < w; ++x, dest += 3) {
            uint32_t rgb;
            if (bits <= 8) {
                const unsigned perByte = 8 / bits;
                const unsigned shift = 8 - bits * (1 + x % perByte);
                const unsigned index = (row[x / perByte] >> shift) & ((1u << bits) - 1);
                // An index past the table is black, as the system draws it.
                rgb = index < table.size() ? table[index] : 0;
            } else if (bits == 24) {
                const uint8_t* p = row + 3 * static_cast<size_t>(x);
                rgb = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
            } else {
                const uint32_t v =
                    bits == 16 ? U16(row + 2 * static_cast<size_t>(x)) : U32(row + 4 * static_cast<size_t>(x));
                rgb = static_cast<uint32_t>(red.Of(v)) << 16 | static_cast<uint32_t>(green.Of(v)) << 8 | blue.Of(v);
            }
            dest[0] = static_cast<uint8_t>(rgb);
            dest[1] = static_cast<uint8_t>(rgb >> 8);
            dest[2] = static_cast<uint8_t>(rgb >> 16);
        }
    }
    return true;
}

bool DecodeTga(const uint8_t* data, size_t size, TRawPicture& out)
{
    if (size < 18) return false;
    const unsigned idLength = data[0], colorMapType = data[1], type = data[2];
    const unsigned width = U16(data + 12), height = U16(data + 14), depth = data[16], descriptor = data[17];
    if (colorMapType != 0 || (type != 2 && type != 10)) return false;
    // Other depths would need other pixel layouts; nothing of this program writes them.
    if (width == 0 || height == 0 || (depth != 24 && depth != 32)) return false;
    size_t at = 18 + idLength;
    if (at > size) return false;

    const uint64_t total = static_cast<uint64_t>(width) * height;
    // A run-length packet of four bytes becomes up to 512 bytes of pixels.
    if (total > MaxPicturePixels) return false;
    const unsigned bytes = depth / 8;
    // The least the pixels can take: all of them raw, or one full run packet per 128.
    const uint64_t least = type == 2 ? total * bytes : (total + 127) / 128 * (1 + bytes);
    if (least > size - at) return false;

    out.Width = static_cast<uint16_t>(width);
    out.Height = static_cast<uint16_t>(height);
    out.Depth = static_cast<uint16_t>(depth);
    out.HasAlpha = false;
    out.Pixels.assign(static_cast<size_t>(total), 0);
    const bool topDown = (descriptor & 0x20) != 0;

    auto readPixel = [&](uint32_t& value) {
        if (size - at < bytes) return false;
        const uint8_t* p = data + at;
        at += bytes;
        const uint8_t alpha = bytes == 4 ? p[3] : 255;
        if (alpha != 255) out.HasAlpha = true;
        value = static_cast<uint32_t>(p[2]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                static_cast<uint32_t>(p[0]) << 8 | alpha;
        return true;
    };
    // The n-th pixel in file order, placed by the row order.
    auto store = [&](uint64_t n, uint32_t value) {
        const uint64_t fileRow = n / width;
        const uint64_t row = topDown ? fileRow : height - 1 - fileRow;
        out.Pixels[static_cast<size_t>(row * width + n % width)] = value;
    };

    uint64_t n = 0;
    uint32_t value = 0;
    if (type == 2) {
        for (; n < total; ++n) {
            if (!readPixel(value)) return false;
            store(n, value);
        }
        return true;
    }
    // A packet may run on into the next row, as many writers emit them; one that runs past
    // the last pixel means the file is damaged.
    while (n < total) {
        if (at >= size) return false;
        const uint8_t header = data[at++];
        const unsigned count = (header & 0x7Fu) + 1;
        if (count > total - n) return false;
        if (header & 0x80) {
            if (!readPixel(value)) return false;
            for (unsigned i = 0; i < count; ++i) store(n++, value);
        } else {
            for (unsigned i = 0; i < count; ++i) {
                if (!readPixel(value)) return false;
                store(n++, value);
            }
        }
    }
    return true;
}
}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    bytes.clear();
    // Opening a FIFO or a device would wait for a writer, or read without end.
    if (!IsRegularFile(path)) return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFileStream(path, "rb"), std::fclose);
    if (!file) return false;
    // The size is known before anything is read; the count below also stops a file that grows.
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end > 0 && static_cast<uint64_t>(end) > MaxPictureFileBytes) return false;
        std::rewind(file.get());
    }
    char buffer[65536];
    try {
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
            if (bytes.size() + got > MaxPictureFileBytes) {
                bytes.clear();
                return false;
            }
            bytes.append(buffer, got);
        }
    } catch (const std::exception&) {
        bytes.clear();
        return false;
    }
    return !std::ferror(file.get());
}

bool ReadBmp(const uint8_t* data, size_t size, TLoadedBitmap& bitmap)
{
    bool ok = false;
    try {
        ok = DecodeBmp(data, size, bitmap);
    } catch (const std::exception&) {
        ok = false;  // the pixels could not be held
    }
    if (!ok) {
        bitmap.Pixels.SetSize(0, 0);
        bitmap.ColorTable.clear();
    }
    return ok;
}

bool ReadTga(const uint8_t* data, size_t size, TRawPicture& picture)
{
    bool ok = false;
    try {
        ok = DecodeTga(data, size, picture);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) picture = TRawPicture{};
    return ok;
}

bool LoadBmpFile(const std::string& path, TLoadedBitmap& bitmap)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    return ReadBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), bitmap);
}

bool LoadTgaFile(const std::string& path, TRawPicture& picture)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    return ReadTga(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture);
}
