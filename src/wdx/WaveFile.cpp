// The RIFF/WAVE header walk over the bytes of a wave.
#include "wdx/WaveFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
bool IsId(const uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }
}  // namespace

TWaveResult ReadWaveHeader(std::span<const uint8_t> stream, TWaveHeader& header)
{
    header = TWaveHeader{};
    const uint64_t size = stream.size();
    if (size == 0) return TWaveResult::Empty;
    const uint8_t* bytes = stream.data();
    if (size < 8 || !IsId(bytes, "RIFF")) return TWaveResult::NotRiff;
    if (uint64_t{Le32(bytes + 4)} != size - 8) return TWaveResult::RiffSize;
    if (size < 12 || !IsId(bytes + 8, "WAVE")) return TWaveResult::NotWave;

    // Positions are 64-bit, so no chunk size can wrap them back into the stream.
    uint64_t at = 12;
    bool data = false;
    while (!data && at + 8 <= size) {
        const uint8_t* chunk = bytes + at;
        const uint32_t chunkSize = Le32(chunk + 4);
        at += 8;
        if (IsId(chunk, "fmt ") && header.Format.FormatTag == 0) {
            const uint32_t take = std::min<uint32_t>(chunkSize, 18);
            if (at + take > size) return TWaveResult::TruncatedChunk;
            uint8_t format[18] = {};
            std::memcpy(format, bytes + at, take);
            TWaveFormat& f = header.Format;
            f.FormatTag = Le16(format);
            f.Channels = Le16(format + 2);
            f.SamplesPerSec = Le32(format + 4);
            f.AvgBytesPerSec = Le32(format + 8);
            f.BlockAlign = Le16(format + 12);
            f.BitsPerSample = Le16(format + 14);
            f.ExtraSize = Le16(format + 16);
            at += chunkSize;
        } else if (IsId(chunk, "data")) {
            if (at > UINT32_MAX) return TWaveResult::DataPastEnd;
            header.DataSize = chunkSize;
            header.DataOffset = static_cast<uint32_t>(at);
            data = true;
        } else {
            at += chunkSize;
        }
    }

    const TWaveFormat& f = header.Format;
    if (f.FormatTag != 1) return TWaveResult::NotPcm;
    if (f.Channels == 0 || f.BitsPerSample == 0 || f.BlockAlign == 0 || f.SamplesPerSec == 0 ||
        f.AvgBytesPerSec < f.SamplesPerSec)
        return TWaveResult::BadPcm;
    if (!data || header.DataSize == 0) return TWaveResult::NoData;
    if (uint64_t{header.DataOffset} + header.DataSize > size) return TWaveResult::DataPastEnd;
    header.Length = header.DataSize / (f.AvgBytesPerSec / f.SamplesPerSec);
    return TWaveResult::Ok;
}
