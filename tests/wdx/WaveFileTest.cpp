// The wave header walk against waves made byte by byte: sound ones in their variants, and
// damaged or hostile ones, each refused with its reason and never read past its end.
#include "wdx/WaveFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/WaveMaker.h"

using namespace wave;

namespace {
TWaveResult Read(const std::string& bytes, TWaveHeader& header)
{
    // A copy of exactly the stream's size, so a read past its end is the sanitizer's to see.
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    return ReadWaveHeader(copy, header);
}
}  // namespace

TEST(WaveFile, SoundWavesGiveTheirFormatDataAndLength)
{
    const std::string samples = Samples(std::vector<int16_t>(44100, 7));  // 88200 bytes
    struct Case {
        const char* Name;
        std::string Bytes;
        uint32_t DataOffset, DataSize, Length;
        uint16_t ExtraSize;
    };
    const std::string fmt16 = Chunk("fmt ", Format(1, 2, 22050, 16));
    const Case cases[] = {
        {"16-byte fmt", Riff(fmt16 + Chunk("data", samples)), 44, 88200, 22050, 0},
        {"18-byte fmt with its extra size", Riff(Chunk("fmt ", Format(1, 2, 22050, 16, 5)) + Chunk("data", samples)),
         46, 88200, 22050, 5},
        // An odd chunk is skipped by its size exactly: "data" follows at once, unpadded.
        {"odd chunk before data", Riff(fmt16 + Chunk("LIST", "abc") + Chunk("data", samples)), 55, 88200, 22050, 0},
        {"fact chunk and a second fmt",
         Riff(fmt16 + Chunk("fact", Le32(1)) + Chunk("fmt ", Format(1, 1, 8000, 8)) + Chunk("data", samples)), 80,
         88200, 22050, 0},
        // A fmt chunk longer than 18 bytes: the rest is skipped.
        {"long fmt", Riff(Chunk("fmt ", Format(1, 2, 22050, 16, 0) + "xyzw") + Chunk("data", samples)), 50, 88200,
         22050, 0},
        // A data chunk whose header begins exactly at byte 2048, as writers that align the
        // samples to sectors make it, is found like any other.
        {"data at byte 2048", Riff(fmt16 + Chunk("JUNK", std::string(2048 - 36 - 8, '\0')) + Chunk("data", samples)),
         2056, 88200, 22050, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWaveHeader header;
        ASSERT_EQ(Read(c.Bytes, header), TWaveResult::Ok);
        EXPECT_EQ(header.DataOffset, c.DataOffset);
        EXPECT_EQ(header.DataSize, c.DataSize);
        EXPECT_EQ(header.Length, c.Length);
        EXPECT_EQ(header.Format.FormatTag, 1);
        EXPECT_EQ(header.Format.Channels, 2);
        EXPECT_EQ(header.Format.SamplesPerSec, 22050u);
        EXPECT_EQ(header.Format.AvgBytesPerSec, 88200u);
        EXPECT_EQ(header.Format.BlockAlign, 4);
        EXPECT_EQ(header.Format.BitsPerSample, 16);
        EXPECT_EQ(header.Format.ExtraSize, c.ExtraSize);
        EXPECT_EQ(c.Bytes.compare(header.DataOffset, 4, samples, 0, 4), 0) << "the offset is the samples' own";
    }
}

TEST(WaveFile, DamagedAndHostileWavesAreRefusedWithTheirReason)
{
    const std::string fmt = Chunk("fmt ", Format(1, 1, 8000, 16));
    const std::string data = Chunk("data", Samples({1, 2, 3, 4}));
    std::string badRiffSize = Riff(fmt + data);
    badRiffSize[4] = static_cast<char>(badRiffSize[4] + 1);
    // Riff gives every other case the right RIFF size, so only the named fault is there.
    auto riffOfSize = [](const std::string& chunks) { return Riff(chunks); };
    struct Case {
        const char* Name;
        std::string Bytes;
        TWaveResult Result;
    };
    const Case cases[] = {
        {"empty", "", TWaveResult::Empty},
        {"shorter than a chunk header", "RIF", TWaveResult::NotRiff},
        {"not RIFF", "RIFX" + Le32(4) + "WAVE", TWaveResult::NotRiff},
        {"lower-case riff", "riff" + Le32(4) + "WAVE", TWaveResult::NotRiff},
        {"RIFF size one too many", badRiffSize, TWaveResult::RiffSize},
        {"RIFF size of the whole stream", Riff(fmt + data, static_cast<int64_t>(Riff(fmt + data).size())),
         TWaveResult::RiffSize},
        {"not WAVE", "RIFF" + Le32(4) + "AVI ", TWaveResult::NotWave},
        {"RIFF header alone", "RIFF" + Le32(0), TWaveResult::NotWave},
        {"no fmt chunk", riffOfSize(data), TWaveResult::NotPcm},
        {"no chunks at all", riffOfSize(""), TWaveResult::NotPcm},
        {"not PCM", riffOfSize(Chunk("fmt ", Format(3, 1, 8000, 32)) + data), TWaveResult::NotPcm},
        {"a fmt chunk cut short by the end", riffOfSize(Chunk("fmt ", Format(1, 1, 8000, 16), 16).substr(0, 12)),
         TWaveResult::TruncatedChunk},
        {"a fmt chunk of 8 bytes", riffOfSize(Chunk("fmt ", Format(1, 1, 8000, 16).substr(0, 8)) + data),
         TWaveResult::BadPcm},
        {"zero channels", riffOfSize(Chunk("fmt ", Format(1, 0, 8000, 16)) + data), TWaveResult::BadPcm},
        {"zero samples a second", riffOfSize(Chunk("fmt ", Format(1, 1, 0, 16)) + data), TWaveResult::BadPcm},
        {"zero bits", riffOfSize(Chunk("fmt ", Format(1, 1, 8000, 0)) + data), TWaveResult::BadPcm},
        {"no data chunk", riffOfSize(fmt + Chunk("LIST", "abcd")), TWaveResult::NoData},
        {"an empty data chunk", riffOfSize(fmt + Chunk("data", "")), TWaveResult::NoData},
        {"data larger than the stream", riffOfSize(fmt + Chunk("data", Samples({1, 2}), 1000)),
         TWaveResult::DataPastEnd},
        {"data of 4 GiB - 1", riffOfSize(fmt + Chunk("data", Samples({1, 2}), 0xFFFFFFFF)), TWaveResult::DataPastEnd},
        // A skip that would wrap a 32-bit position back to the start of the stream.
        {"a chunk size that wraps", riffOfSize(fmt + Chunk("JUNK", "", 0xFFFFFFF0) + data), TWaveResult::NoData},
        {"a huge chunk before data", riffOfSize(fmt + Chunk("JUNK", "xy", 0x7FFFFFFF) + data), TWaveResult::NoData},
        {"a chunk header cut in half", riffOfSize(fmt + "data" + Le16(4)), TWaveResult::NoData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWaveHeader header;
        header.DataSize = 999;  // left from an earlier read: never taken for this one's
        EXPECT_EQ(Read(c.Bytes, header), c.Result);
        EXPECT_EQ(header.Length, 0u) << "no length for a refused wave";
    }
}

TEST(WaveFile, RandomDamageNeverReadsPastTheEnd)
{
    // Mutations of a sound wave: every outcome is a result, none a read past the copy's end.
    const std::string sound = Riff(Chunk("fmt ", Format(1, 2, 11025, 16)) + Chunk("LIST", "odd") +
                                   Chunk("data", Samples({1, -1, 2, -2, 3, -3})));
    std::mt19937 random(1234);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = sound;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) bytes[random() % bytes.size()] = static_cast<char>(random());
        if (random() % 4 == 0) bytes.resize(random() % (bytes.size() + 1));
        TWaveHeader header;
        const TWaveResult result = Read(bytes, header);
        if (result == TWaveResult::Ok) {
            ASSERT_LE(uint64_t{header.DataOffset} + header.DataSize, bytes.size());
            ASSERT_GT(header.DataSize, 0u);
        }
    }
}
