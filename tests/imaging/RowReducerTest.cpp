// The reducer against plain double-precision area averaging, over sizes that give one, two,
// three and many source pixels an output pixel, and sides that are not reduced at all.
#include "imaging/RowReducer.h"

#include "support/AreaAverage.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace {

struct TReduction {
    int SourceWidth, SourceHeight, Width, Height;
};

// Feeds the rows in; the output rows in the order they came, and how many source rows brought none.
struct TReduced {
    std::vector<uint32_t> Pixels;
    int Rows = 0;
    bool LastRowCompletes = false;
};

TReduced Reduce(const std::vector<uint32_t>& source, const TReduction& r)
{
    TRowReducer reducer(r.SourceWidth, r.SourceHeight, r.Width, r.Height);
    TReduced reduced;
    for (int y = 0; y < r.SourceHeight; ++y) {
        const uint32_t* out = reducer.Add(source.data() + static_cast<size_t>(y) * static_cast<size_t>(r.SourceWidth));
        if (out == nullptr) continue;
        ++reduced.Rows;
        reduced.Pixels.insert(reduced.Pixels.end(), out, out + r.Width);
        reduced.LastRowCompletes = y == r.SourceHeight - 1;
    }
    return reduced;
}

}  // namespace

TEST(RowReducer, AveragesAreasAsDoublePrecisionDoes)
{
    const TReduction cases[] = {
        {6000 / 25, 4000 / 25, 3840 / 25, 2560 / 25},  // a screen's stored size from a full decode
        {200, 150, 192, 144},                          // a half-size decode, reduced a little
        {97, 61, 13, 7},                               // several pixels an output, unevenly
        {750, 20, 7, 3},                               // the smallest scale, still far too large
        {64, 48, 1, 1},
        {33, 17, 33, 5},   // only down
        {33, 17, 5, 17},   // only across
        {31, 29, 31, 29},  // nothing to do
        {3, 1000, 2, 999},
    };
    std::mt19937 random(4711);
    for (const TReduction& r : cases) {
        SCOPED_TRACE(testing::Message() << r.SourceWidth << "x" << r.SourceHeight << " to " << r.Width << "x"
                                        << r.Height);
        // Random pixels, with a random fourth byte the reducer must not pass on.
        std::vector<uint32_t> source(static_cast<size_t>(r.SourceWidth) * static_cast<size_t>(r.SourceHeight));
        for (uint32_t& p : source) p = static_cast<uint32_t>(random());
        std::vector<uint32_t> colours = source;
        for (uint32_t& p : colours) p &= 0x00FFFFFFu;

        const TReduced reduced = Reduce(source, r);
        EXPECT_EQ(reduced.Rows, r.Height);
        EXPECT_TRUE(reduced.LastRowCompletes);
        ASSERT_EQ(reduced.Pixels.size(), static_cast<size_t>(r.Width) * static_cast<size_t>(r.Height));
        EXPECT_LE(LargestChannelDifference(reduced.Pixels,
                                           AreaAverage(colours, r.SourceWidth, r.SourceHeight, r.Width, r.Height)),
                  1);
    }
}

TEST(RowReducer, KeepsAFlatColourExactly)
{
    // The extremes too: white and black through the widest and narrowest weights.
    for (const uint32_t colour : {0xFFFFFFu, 0x000000u, 0x7F8081u, 0x01FE10u})
        for (const TReduction& r : {TReduction{1000, 7, 3, 2}, TReduction{17, 13, 16, 12}, TReduction{9, 9, 4, 4}}) {
            const std::vector<uint32_t> source(static_cast<size_t>(r.SourceWidth) * r.SourceHeight,
                                               colour | 0xFF000000u);
            const TReduced reduced = Reduce(source, r);
            for (const uint32_t p : reduced.Pixels) ASSERT_EQ(p, colour) << std::hex << colour;
        }
}

TEST(RowReducer, OnlyReduces)
{
    EXPECT_THROW(TRowReducer(10, 10, 11, 10), std::invalid_argument);
    EXPECT_THROW(TRowReducer(10, 10, 10, 11), std::invalid_argument);
    EXPECT_THROW(TRowReducer(10, 10, 0, 5), std::invalid_argument);
    EXPECT_THROW(TRowReducer(10, 10, 5, -1), std::invalid_argument);
}
