// The X error traps on a real (virtual) server: nested traps keep their own counts, and
// errors of another connection, or of requests made before a trap, reach the handler that
// was there before.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "framework/x11/X11ErrorTrap.h"

#include "gui/XConnection.h"
#include "gui/XvfbServer.h"

namespace {
int foreignErrors = 0;

int CountForeign(Display*, XErrorEvent*)
{
    ++foreignErrors;
    return 0;
}

// A request that fails with BadWindow once the server has read it.
void Provoke(Display* display) { XUnmapWindow(display, 0x7FFFFFF0); }

class X11ErrorTrapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(First.Get(), nullptr);
        ASSERT_NE(Second.Get(), nullptr);
        foreignErrors = 0;
        XSetErrorHandler(CountForeign);
    }
    void TearDown() override { XSetErrorHandler(nullptr); }

    XvfbServer Server;
    XConnection First{Server.Name()};
    XConnection Second{Server.Name()};
};

TEST_F(X11ErrorTrapTest, NestedTrapsEachCountTheErrorsOfTheirOwnRequests)
{
    {
        X11ErrorTrap outer(First);
        Provoke(First);
        {
            X11ErrorTrap inner(First);
            Provoke(First);
            Provoke(First);
            // The sync brings the outer trap's error too; it stays the outer one's.
            EXPECT_TRUE(inner.Failed());
            EXPECT_EQ(inner.Errors(), 2);
            EXPECT_EQ(inner.ErrorCode(), BadWindow);
        }
        EXPECT_EQ(outer.Errors(), 1) << "the nested trap neither took nor cleared the outer one's error";
        Provoke(First);
        EXPECT_TRUE(outer.Failed());
        EXPECT_EQ(outer.Errors(), 2);
        outer.Reset();
        EXPECT_FALSE(outer.Failed());
    }
    EXPECT_EQ(foreignErrors, 0);
    Provoke(First);
    XSync(First, False);
    EXPECT_EQ(foreignErrors, 1) << "with the last trap gone, the handler from before is back";
}

TEST_F(X11ErrorTrapTest, ErrorsThatAreNotATrapsOwnGoToTheHandlerFromBefore)
{
    Provoke(First);  // made before any trap, answered under one
    {
        X11ErrorTrap onFirst(First);
        EXPECT_FALSE(onFirst.Failed());
        EXPECT_EQ(foreignErrors, 1);

        Provoke(Second);  // another connection's, as the toolkit's own would be
        XSync(Second, False);
        EXPECT_EQ(foreignErrors, 2);
        EXPECT_FALSE(onFirst.Failed());
        {
            X11ErrorTrap onSecond(Second);
            Provoke(First);
            Provoke(Second);
            EXPECT_TRUE(onSecond.Failed());
            EXPECT_EQ(onSecond.Errors(), 1);
            EXPECT_TRUE(onFirst.Failed());
            EXPECT_EQ(onFirst.Errors(), 1);
        }
        // A trap that ends first waits for its requests' answers: none is left for the outside.
        X11ErrorTrap brief(Second);
        Provoke(Second);
    }
    EXPECT_EQ(foreignErrors, 2);
}
}  // namespace
