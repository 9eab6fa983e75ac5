#include "framework/Dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(DialogsTest, LineBreaksOfEveryKindBecomeOne)
{
    EXPECT_EQ(UnifyLineBreaks("no break"), "no break");
    EXPECT_EQ(UnifyLineBreaks("Surface lost.\rTry again."), "Surface lost.\nTry again.");
    EXPECT_EQ(UnifyLineBreaks("a\r\nb\nc"), "a\nb\nc");
    // Two breaks in a row stay two; a pair counts once only in its own order.
    EXPECT_EQ(UnifyLineBreaks("a\r\rb"), "a\n\nb");
    EXPECT_EQ(UnifyLineBreaks("a\n\rb"), "a\n\nb");
    EXPECT_EQ(UnifyLineBreaks("end\r"), "end\n");
}

TEST(DialogsTest, HandlerStandsInForTheBoxUntilReplaced)
{
    using Box = std::tuple<std::string, std::string, TMsgIcon>;
    std::vector<Box> first, second;
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMsgIcon icon) {
        first.emplace_back(text, caption, icon);
    });
    MessageBoxShow("Disk full", "Vellumine", miWarning);
    MessageBoxShow("Done", "Settings", miInformation);
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMsgIcon icon) {
        second.emplace_back(text, caption, icon);
    });
    MessageBoxShow("x", "y", miNone);
    SetMessageBoxHandler({});

    EXPECT_EQ(first, (std::vector<Box>{{"Disk full", "Vellumine", miWarning}, {"Done", "Settings", miInformation}}));
    EXPECT_EQ(second, (std::vector<Box>{{"x", "y", miNone}}));
}

TEST(DialogsTest, APreviewShrinksAPictureToItsAreaKeepingProportionsAndCentresIt)
{
    const TRect area = Rect(10, 20, 210, 120);  // 200 x 100
    // Smaller than the area: its own size, in the middle.
    EXPECT_EQ(PreviewPlace(50, 40, area), Rect(85, 50, 135, 90));
    EXPECT_EQ(PreviewPlace(200, 100, area), area) << "exactly the area's size";
    // Too wide: as wide as the area, 1600 x 400 is 4 : 1.
    EXPECT_EQ(PreviewPlace(1600, 400, area), Rect(10, 45, 210, 95));
    // Too tall: as tall as the area, 300 x 600 is 1 : 2.
    EXPECT_EQ(PreviewPlace(300, 600, area), Rect(85, 20, 135, 120));
    // Too large both ways: the side that overflows more (width, 2 against 1.5) sets the scale.
    EXPECT_EQ(PreviewPlace(400, 150, area), Rect(10, 32, 210, 107));
    // The short side rounds to the nearest pixel: 100 * 200 / 300 = 66.67 becomes 67.
    EXPECT_EQ(PreviewPlace(300, 100, area).Height(), 67);
    // A sliver stays one pixel thick rather than vanishing.
    EXPECT_EQ(PreviewPlace(100000, 3, area), Rect(10, 69, 210, 70));
    EXPECT_EQ(PreviewPlace(2, 50000, area), Rect(109, 20, 110, 120));
}

TEST(DialogsTest, APreviewOfNothingOrInNothingIsEmpty)
{
    EXPECT_TRUE(PreviewPlace(0, 100, Rect(0, 0, 50, 50)).IsEmpty());
    EXPECT_TRUE(PreviewPlace(100, -1, Rect(0, 0, 50, 50)).IsEmpty());
    EXPECT_TRUE(PreviewPlace(100, 100, Rect(5, 5, 5, 40)).IsEmpty());
    EXPECT_TRUE(PreviewPlace(100, 100, Rect(30, 30, 10, 10)).IsEmpty()) << "an area turned inside out";
}

}  // namespace
