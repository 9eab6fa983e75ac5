#pragma once
// The header of a wave file (RIFF form "WAVE"), read from the file's bytes alone: pure, so a
// fuzzer can drive it, and every size is checked against the bytes before one is touched.
#include <cstddef>
#include <cstdint>
#include <span>

// The 18 bytes of a "fmt " chunk, field for field as the sound buffer is given them.
struct TWaveFormat {
    uint16_t FormatTag = 0;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t ExtraSize = 0;
};

struct TWaveHeader {
    TWaveFormat Format;
    uint32_t DataSize = 0;    // bytes of the "data" chunk
    uint32_t DataOffset = 0;  // where its first byte is
    uint32_t Length = 0;      // sample frames
};

enum class TWaveResult {
    Ok,
    Empty,           // no bytes at all
    NotRiff,         // no "RIFF" header, or fewer than its 8 bytes
    RiffSize,        // the RIFF size is not the stream's size minus 8
    NotWave,         // the form is not "WAVE"
    TruncatedChunk,  // a "fmt " chunk runs past the end of the stream
    NoData,          // no "data" chunk, or an empty one
    DataPastEnd,     // the "data" chunk claims more bytes than the stream holds
    NotPcm,          // no "fmt " chunk, or a format other than PCM
    BadPcm,          // a PCM format whose frame size cannot be known
};

// Walks the chunks after "RIFF" size "WAVE": the first "fmt " chunk gives min(size, 18)
// bytes of the format (a later one is skipped), the "data" chunk ends the walk, every other
// chunk is skipped by its size exactly, with no pad byte after an odd size.
//
// Choices of this reader's own, for streams the format leaves open:
// - The walk ends at the end of the stream: when the next chunk header does not fit, there
//   is no "data" chunk and the wave is refused (NoData). A chunk size that runs past the
//   end (also one that would wrap a 32-bit position) ends the walk the same way, so the
//   walk never loops and never reads past the end, and a "data" chunk anywhere in the
//   stream is found, whatever its position.
// - An empty "data" chunk is refused too: no sound buffer can be made of zero bytes.
// - A "data" chunk that claims more bytes than follow it is refused (DataPastEnd) rather
//   than loaded as a short buffer of whatever memory lay behind.
// - A PCM format with no channels, no bits per sample or no block alignment is refused
//   (BadPcm), as is one with no samples per second or fewer average bytes per second than
//   samples per second, for which the length cannot be computed.
// The length is DataSize / (AvgBytesPerSec / SamplesPerSec), both divisions integer.
TWaveResult ReadWaveHeader(std::span<const uint8_t> stream, TWaveHeader& header);
