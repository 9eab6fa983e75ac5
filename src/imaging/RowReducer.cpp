#include "imaging/RowReducer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The arithmetic, the same with SSE2 and without (the plain loops below do exactly what the
// vector instructions do, so both give the same pixels):
//  - across: each output pixel's weights (its share of each source pixel it covers) sum to
//    2^14, small enough for signed 16-bit lanes; the sum of weight times 8-bit value is rounded
//    to 8.8 fixed point, so the reduced row keeps a quarter-hundredth of a step of precision;
//  - down: each output row's weights sum to 2^16 and every 8.8 value is scaled by its row's
//    weight keeping the high 16 bits; the truncation costs at most a 256th of a step a row,
//    and the sum stays within 16 bits, so it needs no widening;
//  - the 8.8 sum is rounded to the 8-bit result.
// Weights are rounded cumulatively (each is the rounded running total less the one before), so
// each output's weights sum exactly to the whole and a flat colour stays exactly that colour.

namespace {

constexpr int AcrossBits = 14;
constexpr int32_t AcrossWhole = 1 << AcrossBits;
constexpr int64_t DownWhole = 1 << 16;
// From a sum of 2^14-weighted 8-bit values to 8.8: 6 bits less, rounded.
constexpr int AcrossShift = AcrossBits - 8;
constexpr uint32_t ColourMask = 0x00FFFFFFu;

// Outputs are worked out in pairs, so rows hold an even number of pixels.
size_t EvenPixels(int width) { return static_cast<size_t>(width + 1) & ~size_t{1}; }

}  // namespace

TRowReducer::TRowReducer(int sourceWidth, int sourceHeight, int width, int height)
    : FSourceWidth(sourceWidth), FSourceHeight(sourceHeight), FWidth(width), FHeight(height)
{
    if (width < 1 || height < 1 || width > sourceWidth || height > sourceHeight)
        throw std::invalid_argument("a row reducer only reduces");

    // Across: output pixel x covers [x * sw, (x + 1) * sw) and source pixel i covers
    // [i * w, (i + 1) * w), in units of 1 / (sw * w) of the row.
    const int64_t sw = sourceWidth, w = width;
    int maxTaps = 1;
    for (int64_t x = 0; x < w; ++x)
        maxTaps = std::max(maxTaps, static_cast<int>(((x + 1) * sw - 1) / w - x * sw / w + 1));
    FTaps = (maxTaps + 1) & ~1;
    const size_t outputs = EvenPixels(width);
    FStart.assign(outputs, 0);
    FWeights.assign(outputs * static_cast<size_t>(FTaps / 2) * 4, 0);
    std::vector<int32_t> taps(static_cast<size_t>(FTaps));
    for (int64_t x = 0; x < w; ++x) {
        const int64_t from = x * sw, to = (x + 1) * sw, first = from / w;
        int64_t covered = 0;
        int32_t before = 0;
        for (int t = 0; t < FTaps; ++t) {
            const int64_t i = first + t;
            const int64_t overlap = std::max<int64_t>(0, std::min(to, (i + 1) * w) - std::max(from, i * w));
            covered += overlap;
            const auto now = static_cast<int32_t>((covered * AcrossWhole + sw / 2) / sw);
            taps[static_cast<size_t>(t)] = now - before;
            before = now;
        }
        FStart[static_cast<size_t>(x)] = static_cast<int32_t>(first);
        // Each pair of weights four times over, ready for a vector register.
        for (int k = 0; k < FTaps / 2; ++k) {
            const auto pair = static_cast<int32_t>(static_cast<uint32_t>(taps[static_cast<size_t>(2 * k)]) |
                                                   static_cast<uint32_t>(taps[static_cast<size_t>(2 * k + 1)]) << 16);
            const size_t at = (static_cast<size_t>(x) * static_cast<size_t>(FTaps / 2) + static_cast<size_t>(k)) * 4;
            std::fill_n(FWeights.begin() + static_cast<ptrdiff_t>(at), 4, pair);
        }
    }

    // Down: the same, for rows, when there is anything to reduce.
    if (height < sourceHeight) {
        const int64_t sh = sourceHeight, h = height;
        FShares.resize(static_cast<size_t>(sourceHeight));
        for (int64_t y = 0; y < h; ++y) {
            const int64_t from = y * sh, to = (y + 1) * sh, first = from / h, last = (to - 1) / h;
            int64_t covered = 0, before = 0;
            for (int64_t j = first; j <= last; ++j) {
                covered += std::min(to, (j + 1) * h) - std::max(from, j * h);
                const int64_t now = (covered * DownWhole + sh / 2) / sh;
                // A share of a row shorter than the source's is below the whole; the clamp
                // only keeps a rounding of the largest pictures within 16 bits.
                const auto share = static_cast<uint16_t>(std::min<int64_t>(now - before, DownWhole - 1));
                before = now;
                TRowShare& row = FShares[static_cast<size_t>(j)];
                if (j * h >= from)
                    row.First = share;
                else
                    row.Second = share;
                if (j == last) row.Completes = true;
            }
        }
    }

    FPairs.assign((static_cast<size_t>(sourceWidth) + static_cast<size_t>(FTaps)) * 8, 0);
    FAcross.assign(outputs * 4, 0);
    FSums.assign(outputs * 4, 0);
    FOut.assign(outputs, 0);
}

const uint32_t* TRowReducer::Add(const uint32_t* row)
{
    if (FSourceRow >= FSourceHeight) return nullptr;
    const int y = FSourceRow++;
    if (FWidth == FSourceWidth && FHeight == FSourceHeight) {
        for (int x = 0; x < FWidth; ++x) FOut[static_cast<size_t>(x)] = row[x] & ColourMask;
        return FOut.data();
    }
    const TRowShare* share = FShares.empty() ? nullptr : &FShares[static_cast<size_t>(y)];
    Reduce(row, share);
    return share == nullptr || share->Completes ? FOut.data() : nullptr;
}

#if defined(__SSE2__)

namespace {

// Eight 8.8 values rounded to bytes, the fourth byte of each pixel cleared: two pixels.
inline void StoreTwoPixels(uint32_t* out, __m128i sums)
{
    const __m128i rounded = _mm_srli_epi16(_mm_add_epi16(sums, _mm_set1_epi16(128)), 8);
    const __m128i bytes = _mm_and_si128(_mm_packus_epi16(rounded, rounded), _mm_set1_epi32(ColourMask));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

// What becomes of a row once reduced across: it is an output row of its own, or its share is
// added to the output row under way, or its share completes that row and the rest of it
// starts the next.
enum class TDown { Emit, Accumulate, Complete };

struct TAcross {
    const int16_t* Pairs;
    const int32_t* Start;
    const int32_t* Weights;
    int Width, PairCount;
};

// Two output pixels at a time, each the sum of pairs of taps times their weights, in 8.8, then
// taken down at once. Pairs is the count of pairs when it is known at compile time (1 or 2,
// nearly every reduction a screen needs), else 0 and across.PairCount says.
template <int Pairs, TDown Down>
void ReduceRow(const TAcross& across, uint16_t* sums, uint32_t* out, uint16_t first, uint16_t second)
{
    const int pairCount = Pairs != 0 ? Pairs : across.PairCount;
    // Rounding and a bias of 32768 in 8.8, so that the signed pack takes values up to 65280.
    const __m128i bias = _mm_set1_epi32((1 << (AcrossShift - 1)) - (32768 << AcrossShift));
    const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    const __m128i firstShare = _mm_set1_epi16(static_cast<int16_t>(first));
    const __m128i secondShare = _mm_set1_epi16(static_cast<int16_t>(second));
    for (int x = 0; x < across.Width; x += 2) {
        const auto* p0 = reinterpret_cast<const __m128i*>(across.Pairs + static_cast<ptrdiff_t>(across.Start[x]) * 8);
        const auto* p1 =
            reinterpret_cast<const __m128i*>(across.Pairs + static_cast<ptrdiff_t>(across.Start[x + 1]) * 8);
        const auto* w0 = reinterpret_cast<const __m128i*>(across.Weights + static_cast<ptrdiff_t>(x) * pairCount * 4);
        const auto* w1 = w0 + pairCount;
        __m128i s0 = bias, s1 = bias;
        for (int k = 0; k < pairCount; ++k) {
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_loadu_si128(p0 + 2 * k), _mm_loadu_si128(w0 + k)));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_loadu_si128(p1 + 2 * k), _mm_loadu_si128(w1 + k)));
        }
        const __m128i reduced =
            _mm_xor_si128(_mm_packs_epi32(_mm_srai_epi32(s0, AcrossShift), _mm_srai_epi32(s1, AcrossShift)), flip);
        if constexpr (Down == TDown::Emit) {
            StoreTwoPixels(out + x, reduced);
        } else {
            auto* s = reinterpret_cast<__m128i*>(sums + static_cast<ptrdiff_t>(x) * 4);
            const __m128i total = _mm_add_epi16(_mm_loadu_si128(s), _mm_mulhi_epu16(reduced, firstShare));
            if constexpr (Down == TDown::Accumulate) {
                _mm_storeu_si128(s, total);
            } else {
                _mm_storeu_si128(s, _mm_mulhi_epu16(reduced, secondShare));
                StoreTwoPixels(out + x, total);
            }
        }
    }
}

template <TDown Down>
void ReduceRow(const TAcross& across, uint16_t* sums, uint32_t* out, uint16_t first, uint16_t second)
{
    switch (across.PairCount) {
    case 1: ReduceRow<1, Down>(across, sums, out, first, second); break;
    case 2: ReduceRow<2, Down>(across, sums, out, first, second); break;
    default: ReduceRow<0, Down>(across, sums, out, first, second); break;
    }
}

}  // namespace

// The source row as pairs of neighbours: entry i holds pixels i and i + 1 channel by channel
// (blue i, blue i+1, green i, green i+1, red i, red i+1, and the fourth byte's), 16 bits each,
// so that one multiply-add of an entry with two weights gives two taps of all four channels.
void TRowReducer::Reduce(const uint32_t* row, const TRowShare* share)
{
    const __m128i zero = _mm_setzero_si128();
    int16_t* pairs = FPairs.data();
    int i = 0;
    for (; i + 4 < FSourceWidth; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + 1));
        const __m128i low = _mm_unpacklo_epi8(a, b), high = _mm_unpackhi_epi8(a, b);
        __m128i* out = reinterpret_cast<__m128i*>(pairs + static_cast<ptrdiff_t>(i) * 8);
        _mm_storeu_si128(out, _mm_unpacklo_epi8(low, zero));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(low, zero));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi8(high, zero));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi8(high, zero));
    }
    for (; i < FSourceWidth; ++i) {
        const uint32_t p = row[i], n = i + 1 < FSourceWidth ? row[i + 1] : 0;
        int16_t* out = pairs + static_cast<ptrdiff_t>(i) * 8;
        for (int c = 0; c < 4; ++c) {
            out[2 * c] = static_cast<int16_t>(p >> (8 * c) & 0xFF);
            out[2 * c + 1] = static_cast<int16_t>(n >> (8 * c) & 0xFF);
        }
    }

    const TAcross across{pairs, FStart.data(), FWeights.data(), FWidth, FTaps / 2};
    if (share == nullptr)
        ReduceRow<TDown::Emit>(across, FSums.data(), FOut.data(), 0, 0);
    else if (!share->Completes)
        ReduceRow<TDown::Accumulate>(across, FSums.data(), FOut.data(), share->First, 0);
    else
        ReduceRow<TDown::Complete>(across, FSums.data(), FOut.data(), share->First, share->Second);
}

#else

namespace {
inline uint16_t ScaleHigh(uint16_t value, uint16_t share)
{
    return static_cast<uint16_t>(uint32_t{value} * share >> 16);
}

inline uint32_t RoundPixel(const uint16_t* sums)
{
    uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) pixel |= std::min<uint32_t>(255u, (sums[c] + 128u) >> 8) << (8 * c);
    return pixel;
}
}  // namespace

void TRowReducer::Reduce(const uint32_t* row, const TRowShare* share)
{
    const int pairCount = FTaps / 2;
    std::vector<uint16_t>& across = FAcross;
    for (int x = 0; x < FWidth; ++x) {
        const int first = FStart[static_cast<size_t>(x)];
        const int32_t* weights = FWeights.data() + static_cast<ptrdiff_t>(x) * pairCount * 4;
        int32_t sums[4] = {};
        for (int t = 0; t < FTaps; ++t) {
            const int i = first + t;
            if (i >= FSourceWidth) break;
            const int32_t packed = weights[t / 2 * 4];
            const int32_t weight = static_cast<int16_t>(t % 2 == 0 ? packed & 0xFFFF : packed >> 16 & 0xFFFF);
            for (int c = 0; c < 4; ++c) sums[c] += weight * static_cast<int32_t>(row[i] >> (8 * c) & 0xFF);
        }
        for (int c = 0; c < 4; ++c)
            across[static_cast<size_t>(x) * 4 + static_cast<size_t>(c)] =
                static_cast<uint16_t>((sums[c] + (1 << (AcrossShift - 1))) >> AcrossShift);
    }
    if (share == nullptr) {
        for (int x = 0; x < FWidth; ++x) FOut[static_cast<size_t>(x)] = RoundPixel(&across[static_cast<size_t>(x) * 4]);
        return;
    }
    const size_t values = static_cast<size_t>(FWidth) * 4;
    for (size_t i = 0; i < values; ++i) FSums[i] = static_cast<uint16_t>(FSums[i] + ScaleHigh(across[i], share->First));
    if (!share->Completes) return;
    for (int x = 0; x < FWidth; ++x) FOut[static_cast<size_t>(x)] = RoundPixel(&FSums[static_cast<size_t>(x) * 4]);
    for (size_t i = 0; i < values; ++i) FSums[i] = ScaleHigh(across[i], share->Second);
}

#endif
