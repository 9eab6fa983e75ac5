#pragma once
// Wave files as the tests want them: chunks put together byte by byte, so a test can make
// sound waves and every kind of damaged one.
#include <cstdint>
#include <string>
#include <vector>

namespace wave {

inline std::string Le32(uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}
inline std::string Le16(uint16_t v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }

// A chunk: its id, its size (the body's own unless given) and its body, with no pad byte.
inline std::string Chunk(const std::string& id, const std::string& body, int64_t size = -1)
{
    return id + Le32(size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size)) + body;
}

// The 16 bytes of a PCM "fmt " body (18 with the extra size when extra is not negative).
inline std::string Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extra = -1)
{
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    std::string body = Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
    if (extra >= 0) body += Le16(static_cast<uint16_t>(extra));
    return body;
}

// "RIFF", the right size unless given, "WAVE", then the chunks.
inline std::string Riff(const std::string& chunks, int64_t size = -1)
{
    const std::string body = "WAVE" + chunks;
    return "RIFF" + Le32(size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size)) + body;
}

// 16-bit samples as the bytes of a "data" chunk.
inline std::string Samples(const std::vector<int16_t>& samples)
{
    std::string bytes;
    for (int16_t s : samples) bytes += Le16(static_cast<uint16_t>(s));
    return bytes;
}

// A sound PCM wave of 16-bit samples.
inline std::string Pcm16(uint16_t channels, uint32_t rate, const std::vector<int16_t>& samples)
{
    return Riff(Chunk("fmt ", Format(1, channels, rate, 16)) + Chunk("data", Samples(samples)));
}

}  // namespace wave
