// Colour fills, the nearest-neighbour stretching copy and conversion to 32-bit pixels.
// The 32-bit unkeyed stretch is the show's per-frame work and has its own path: column
// indices computed once per blit, eight pixels per step, a source row two ahead prefetched
// while this one is read, streaming stores that do not pull the destination into the
// cache, and a plain row copy whenever a destination row repeats the one above it. Sixteen-bit
// pixels are widened through two tables of 256 entries, one for each byte.
// Implements: softdx::FillRect, StretchCopy, Widen16, StretchToXrgb, ConvertToXrgb (SoftDxBlit.h).
// Not here: checking rectangles against their surfaces, which the callers do.
#include "SoftDxBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace softdx {

namespace {

inline uint32_t ReadPixel(const uint8_t* p, uint32_t bytes)
{
    switch (bytes) {
    case 1: return *p;
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 3: return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

inline void WritePixel(uint8_t* p, uint32_t bytes, uint32_t v)
{
    switch (bytes) {
    case 1: *p = static_cast<uint8_t>(v); break;
    case 2: {
        auto w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
        break;
    }
    case 3:
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        break;
    default: std::memcpy(p, &v, 4); break;
    }
}

// The source index under each destination pixel's centre, for a span of the source from start
// to start + length (in 1/65536 of a pixel). The offsets (2i + 1) * length / (2 * count) are
// stepped as a quotient and a remainder, exact without a product that could overflow.
void SampleTable(std::vector<uint32_t>& table, uint32_t count, int64_t start, int64_t length)
{
    table.resize(count);
    const uint64_t divisor = uint64_t{2} * count, span = uint64_t(length);
    uint64_t quotient = span / divisor, remainder = span % divisor;
    const uint64_t stepQuotient = 2 * span / divisor, stepRemainder = 2 * span % divisor;
    for (uint32_t i = 0; i < count; ++i) {
        table[i] = static_cast<uint32_t>((uint64_t(start) + quotient) / uint64_t(SoftDxFineUnit));
        quotient += stepQuotient;
        remainder += stepRemainder;
        if (remainder >= divisor) {
            ++quotient;
            remainder -= divisor;
        }
    }
}

// Whether the samples are the source's pixels one after another: a plain copy of each row.
bool Consecutive(uint32_t count, int64_t length) { return length == int64_t{count} * SoftDxFineUnit; }

inline bool Keyed(const KeyRange& key, uint32_t value, uint32_t mask)
{
    value &= mask;
    return value >= (key.Low & mask) && value <= (key.High & mask);
}

// One destination row of 32-bit pixels gathered from one source row.
void GatherRow32(uint32_t* out, const uint32_t* in, const uint32_t* columns, uint32_t count, const uint32_t* nextIn)
{
    uint32_t i = 0;
#if defined(__SSE2__)
    // Streaming stores need 16-byte alignment: single pixels until there.
    for (; i < count && (reinterpret_cast<uintptr_t>(out + i) & 15) != 0; ++i) out[i] = in[columns[i]];
    for (; i + 8 <= count; i += 8) {
        if (nextIn) __builtin_prefetch(nextIn + columns[i]);
        const uint32_t* c = columns + i;
        __m128i a = _mm_set_epi32(static_cast<int>(in[c[3]]), static_cast<int>(in[c[2]]), static_cast<int>(in[c[1]]),
                                  static_cast<int>(in[c[0]]));
        __m128i b = _mm_set_epi32(static_cast<int>(in[c[7]]), static_cast<int>(in[c[6]]), static_cast<int>(in[c[5]]),
                                  static_cast<int>(in[c[4]]));
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + i + 4), b);
    }
#else
    for (; i + 8 <= count; i += 8) {
        if (nextIn) __builtin_prefetch(nextIn + columns[i]);
        const uint32_t* c = columns + i;
        uint32_t* o = out + i;
        o[0] = in[c[0]], o[1] = in[c[1]], o[2] = in[c[2]], o[3] = in[c[3]];
        o[4] = in[c[4]], o[5] = in[c[5]], o[6] = in[c[6]], o[7] = in[c[7]];
    }
#endif
    for (; i < count; ++i) out[i] = in[columns[i]];
}

template <uint32_t Bytes>
void GatherRow(uint8_t* out, const uint8_t* in, const uint32_t* columns, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) std::memcpy(out + i * Bytes, in + size_t{columns[i]} * Bytes, Bytes);
}

}  // namespace

void FillRect(const PixelView& d, const RECT& r, uint32_t pixel)
{
    const uint32_t width = static_cast<uint32_t>(r.right - r.left);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint8_t* row = d.At(r.left, y);
        switch (d.BytesPerPixel) {
        case 1: std::memset(row, static_cast<int>(pixel & 0xFF), width); break;
        case 2: std::fill_n(reinterpret_cast<uint16_t*>(row), width, static_cast<uint16_t>(pixel)); break;
        case 4: std::fill_n(reinterpret_cast<uint32_t*>(row), width, pixel); break;
        default:
            for (uint32_t x = 0; x < width; ++x) WritePixel(row + x * 3, 3, pixel);
            break;
        }
    }
}

void StretchCopy(const PixelView& d, const RECT& dr, const PixelView& s, const SoftDxFineRect& sr,
                 const KeyRange& sourceKey, const KeyRange& destinationKey, uint32_t valueMask)
{
    StretchCopy(d, dr, dr, s, sr, sourceKey, destinationKey, valueMask);
}

void StretchCopy(const PixelView& d, const RECT& dr, const RECT& clip, const PixelView& s, const SoftDxFineRect& sr,
                 const KeyRange& sourceKey, const KeyRange& destinationKey, uint32_t valueMask)
{
    const auto dw = static_cast<uint32_t>(dr.right - dr.left), dh = static_cast<uint32_t>(dr.bottom - dr.top);
    const uint32_t bytes = d.BytesPerPixel;
    // Kept between blits: the show stretches every frame and should not allocate each time.
    thread_local std::vector<uint32_t> columns, rows;
    SampleTable(columns, dw, sr.Left, sr.Right - sr.Left);
    SampleTable(rows, dh, sr.Top, sr.Bottom - sr.Top);
    // The part of the destination drawn, counted from its rectangle's corner; the samples
    // stay those of the whole rectangle, so clipping never moves a pixel.
    const auto x0 = static_cast<uint32_t>(clip.left - dr.left), x1 = static_cast<uint32_t>(clip.right - dr.left);
    const auto y0 = static_cast<uint32_t>(clip.top - dr.top), y1 = static_cast<uint32_t>(clip.bottom - dr.top);
    const uint32_t count = x1 - x0;

    if (sourceKey.Enabled || destinationKey.Enabled) {
        for (uint32_t y = y0; y < y1; ++y) {
            const uint8_t* in = s.At(0, static_cast<int32_t>(rows[y]));
            uint8_t* out = d.At(clip.left, dr.top + static_cast<int32_t>(y));
            for (uint32_t x = x0; x < x1; ++x, out += bytes) {
                const uint32_t value = ReadPixel(in + size_t{columns[x]} * bytes, bytes);
                if (sourceKey.Enabled && Keyed(sourceKey, value, valueMask)) continue;
                if (destinationKey.Enabled && !Keyed(destinationKey, ReadPixel(out, bytes), valueMask)) continue;
                WritePixel(out, bytes, value);
            }
        }
        return;
    }

    const size_t rowBytes = size_t{count} * bytes;
    const bool consecutive = Consecutive(dw, sr.Right - sr.Left);
    for (uint32_t y = y0; y < y1; ++y) {
        uint8_t* out = d.At(clip.left, dr.top + static_cast<int32_t>(y));
        if (y > y0 && rows[y] == rows[y - 1]) {
            std::memcpy(out, out - d.Pitch, rowBytes);
            continue;
        }
        const uint8_t* in = s.At(0, static_cast<int32_t>(rows[y]));
        if (consecutive) {
            std::memcpy(out, in + size_t{columns[x0]} * bytes, rowBytes);
            continue;
        }
        switch (bytes) {
        case 4: {
            // Two rows ahead gives the memory time to answer before the row is needed.
            const uint8_t* next = y + 2 < y1 ? s.At(0, static_cast<int32_t>(rows[y + 2])) : nullptr;
            GatherRow32(reinterpret_cast<uint32_t*>(out), reinterpret_cast<const uint32_t*>(in), columns.data() + x0,
                        count, reinterpret_cast<const uint32_t*>(next));
            break;
        }
        case 1: GatherRow<1>(out, in, columns.data() + x0, count); break;
        case 2: GatherRow<2>(out, in, columns.data() + x0, count); break;
        default: GatherRow<3>(out, in, columns.data() + x0, count); break;
        }
    }
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

bool ByteChannels(const PixelFormat& f)
{
    const auto byteMask = [](uint32_t mask) {
        return mask == 0 || mask == 0xFF || mask == 0xFF00 || mask == 0xFF0000 || mask == 0xFF000000;
    };
    return f.Bits == 32 && !f.Indexed && byteMask(f.RedMask) && byteMask(f.GreenMask) && byteMask(f.BlueMask) &&
           byteMask(f.AlphaMask);
}

bool Widen16::Takes(const PixelFormat& f)
{
    if (f.Bits != 16 || f.Indexed || !f.IsColour() || f.BlueMask != 0x001F) return false;
    return (f.RedMask == 0xF800 && f.GreenMask == 0x07E0 && f.AlphaMask == 0) ||
           (f.RedMask == 0x7C00 && f.GreenMask == 0x03E0 && (f.AlphaMask == 0 || f.AlphaMask == 0x8000));
}

Widen16::Widen16(const PixelFormat& format)
{
    const bool red565 = format.GreenMask == 0x07E0;
    const auto widen = [red565](uint32_t v) {
        uint32_t r = red565 ? (v >> 11) & 31 : (v >> 10) & 31;
        uint32_t g = red565 ? (v >> 5) & 63 : (v >> 5) & 31;
        uint32_t b = v & 31;
        r = r << 3 | r >> 2;
        g = red565 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
        b = b << 3 | b >> 2;
        return r << 16 | g << 8 | b;
    };
    for (uint32_t i = 0; i < 256; ++i) {
        FLow[i] = widen(i);
        FHigh[i] = widen(i << 8);
    }
}

void StretchToXrgb(const PixelView& d, const RECT& dr, const PixelView& s, const SoftDxFineRect& sr,
                   const PixelFormat& sourceFormat)
{
    const auto dw = static_cast<uint32_t>(dr.right - dr.left), dh = static_cast<uint32_t>(dr.bottom - dr.top);
    thread_local std::vector<uint32_t> columns, rows;
    SampleTable(columns, dw, sr.Left, sr.Right - sr.Left);
    SampleTable(rows, dh, sr.Top, sr.Bottom - sr.Top);
    const Widen16 widen(sourceFormat);
    for (uint32_t y = 0; y < dh; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(d.At(dr.left, dr.top + static_cast<int32_t>(y)));
        if (y > 0 && rows[y] == rows[y - 1]) {
            std::memcpy(out, reinterpret_cast<const uint8_t*>(out) - d.Pitch, size_t{dw} * 4);
            continue;
        }
        const auto* in = reinterpret_cast<const uint16_t*>(s.At(0, static_cast<int32_t>(rows[y])));
        if (y + 2 < dh) __builtin_prefetch(s.At(static_cast<int32_t>(columns[0]), static_cast<int32_t>(rows[y + 2])));
        for (uint32_t x = 0; x < dw; ++x) out[x] = widen(in[columns[x]]);
    }
}

void ConvertToXrgb(const PixelView& s, const PixelFormat& format, const PALETTEENTRY* palette, uint32_t* out,
                   size_t outPitchBytes)
{
    const auto rowOut = [&](uint32_t y) {
        return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + y * outPitchBytes);
    };
    if (format.Bits == 16 && !format.Indexed) {
        const Widen16 widen(format);
        for (uint32_t y = 0; y < s.Height; ++y) {
            const auto* in = reinterpret_cast<const uint16_t*>(s.At(0, static_cast<int32_t>(y)));
            uint32_t* row = rowOut(y);
            for (uint32_t x = 0; x < s.Width; ++x) row[x] = widen(in[x]);
        }
        return;
    }
    uint32_t lookup[256];
    if (format.Indexed)
        for (int i = 0; i < 256; ++i)
            lookup[i] = palette
                            ? uint32_t{palette[i].peRed} << 16 | uint32_t{palette[i].peGreen} << 8 | palette[i].peBlue
                            : uint32_t(i) * 0x010101u;
    const bool blueFirst = format.Bits >= 24 && format.RedMask == 0xFF;
    for (uint32_t y = 0; y < s.Height; ++y) {
        const uint8_t* in = s.At(0, static_cast<int32_t>(y));
        uint32_t* row = rowOut(y);
        for (uint32_t x = 0; x < s.Width; ++x) {
            const uint32_t v = ReadPixel(in + size_t{x} * s.BytesPerPixel, s.BytesPerPixel);
            if (format.Indexed) {
                row[x] = lookup[v & 0xFF];
                continue;
            }
            uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
            if (blueFirst) std::swap(r, b);
            row[x] = r << 16 | g << 8 | b;
        }
    }
}

}  // namespace softdx
