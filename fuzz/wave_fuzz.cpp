// The wave header reader: any bytes give a header whose data lies inside them, or a refusal.
#include "wdx/WaveFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    TWaveHeader header;
    if (ReadWaveHeader(bytes, header) != TWaveResult::Ok) return 0;
    if (header.DataSize == 0 || header.DataOffset < 12 || uint64_t{header.DataOffset} + header.DataSize > size)
        std::abort();
    const TWaveFormat& f = header.Format;
    if (f.FormatTag != 1 || f.Channels == 0 || f.BitsPerSample == 0 || f.BlockAlign == 0 || f.SamplesPerSec == 0)
        std::abort();
    // The data's first and last bytes, read as the sound buffer will read them.
    volatile uint8_t edge = bytes[header.DataOffset] ^ bytes[header.DataOffset + header.DataSize - 1];
    (void)edge;
    return 0;
}
