// The framework's forms on a real (virtual) X server: what the form's settings do to its X
// window, and X input and focus arriving as Win32 messages. Xvfb runs no window manager,
// so the tests read the attributes and properties the framework sets.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/FrameworkTestSupport.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"
#include "gui/XConnection.h"
#include "gui/XvfbServer.h"
#include "support/TestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
using namespace std::chrono_literals;

// One server for the whole process: the framework keeps its X connection until exit, so the
// server is stopped only then, never left running behind the tests.
XvfbServer* SharedServer = nullptr;

const XvfbServer& Server()
{
    if (!SharedServer) {
        SharedServer = new XvfbServer;
        setenv("DISPLAY", SharedServer->Name().c_str(), 1);
        std::atexit([] { delete SharedServer; });
    }
    return *SharedServer;
}

Window XidOf(TForm& form) { return static_cast<Window>(reinterpret_cast<uintptr_t>(form.Handle())); }

struct Geometry {
    int x, y, width, height;
    bool operator==(const Geometry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Geometry& g)
{
    return out << g.x << "," << g.y << " " << g.width << "x" << g.height;
}

class FrameworkGuiTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        ASSERT_NE(FDisplay.Get(), nullptr);
        handlers.message = [this](MSG& msg, bool&) { seen.push_back(msg); };
        Application->OnMessage = TMessageEvent::Of<&TestHandlers::Message>(&handlers);
    }

    // Lets the framework work until the condition holds; false after a few seconds.
    bool PumpUntil(const std::function<bool()>& condition)
    {
        return WaitUntil(
            [&] {
                Application->ProcessMessages();
                XSync(FDisplay, False);
                return condition();
            },
            5s);
    }

    XWindowAttributes Attributes(Window window)
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(FDisplay, window, &attributes);
        return attributes;
    }
    Geometry GeometryOf(Window window)
    {
        const XWindowAttributes a = Attributes(window);
        return {a.x, a.y, a.width, a.height};
    }
    bool Viewable(Window window) { return Attributes(window).map_state == IsViewable; }

    std::vector<long> Property(Window window, const char* name, Atom type)
    {
        Atom actual;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(FDisplay, window, XInternAtom(FDisplay, name, False), 0, 64, False, type, &actual,
                               &format, &count, &after, &data) == Success &&
            data) {
            const auto* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
            XFree(data);
        }
        return values;
    }
    bool StaysOnTop(Window window)
    {
        const long above = static_cast<long>(XInternAtom(FDisplay, "_NET_WM_STATE_ABOVE", False));
        for (long state : Property(window, "_NET_WM_STATE", XA_ATOM))
            if (state == above) return true;
        return false;
    }
    // Motif hints: flags, functions, decorations, ...; flag 2 says the decorations are given.
    bool Borderless(Window window)
    {
        const std::vector<long> hints = Property(window, "_MOTIF_WM_HINTS", AnyPropertyType);
        return hints.size() >= 3 && (hints[0] & 2) && hints[2] == 0;
    }

    void Focus(Window window)
    {
        XSetInputFocus(FDisplay, window, RevertToParent, CurrentTime);
        XSync(FDisplay, False);
    }

    void Xdotool(const std::string& arguments) { ASSERT_EQ(RunXdotool(Server(), arguments), 0) << arguments; }

    const MSG* Find(const std::function<bool(const MSG&)>& match)
    {
        for (const MSG& msg : seen)
            if (match(msg)) return &msg;
        return nullptr;
    }
    bool Saw(HWND window, UINT message, WPARAM wParam)
    {
        return Find([&](const MSG& m) { return m.hwnd == window && m.message == message && m.wParam == wParam; });
    }

    // Made before SetUp runs; it starts the shared server, which sets DISPLAY for the framework.
    XConnection FDisplay{Server().Name()};
    TestHandlers handlers;
    std::vector<MSG> seen;
};

TEST_F(FrameworkGuiTest, StylesAndStatesReachTheXWindowAndComeBack)
{
    TForm form(nullptr);
    form.SetBounds(50, 60, 300, 200);
    form.Show();
    const Window xid = XidOf(form);
    ASSERT_NE(xid, 0u);
    const Geometry normal{50, 60, 300, 200};
    ASSERT_TRUE(PumpUntil([&] { return Viewable(xid) && GeometryOf(xid) == normal; })) << GeometryOf(xid);
    EXPECT_FALSE(Borderless(xid));
    EXPECT_FALSE(StaysOnTop(xid));

    form.SetBorderStyle(bsNone);
    form.SetFormStyle(fsStayOnTop);
    form.SetWindowState(wsMaximized);
    EXPECT_TRUE(PumpUntil([&] { return GeometryOf(xid) == Geometry{0, 0, 1024, 768}; })) << GeometryOf(xid);
    EXPECT_TRUE(Borderless(xid));
    EXPECT_TRUE(StaysOnTop(xid));
    EXPECT_EQ(form.ClientRect(), Rect(0, 0, 1024, 768));

    form.SetWindowState(wsNormal);
    form.SetFormStyle(fsNormal);
    form.SetBorderStyle(bsSizeable);
    EXPECT_TRUE(PumpUntil([&] { return GeometryOf(xid) == normal; })) << GeometryOf(xid);
    EXPECT_EQ((Geometry{form.Left(), form.Top(), form.Width(), form.Height()}), normal);
    EXPECT_FALSE(StaysOnTop(xid));
    EXPECT_FALSE(Borderless(xid));

    // Hiding keeps the window, so what presents into it keeps a valid handle.
    form.Hide();
    EXPECT_TRUE(PumpUntil([&] { return Attributes(xid).map_state == IsUnmapped; }));
    EXPECT_EQ(XidOf(form), xid);
    EXPECT_FALSE(form.Visible());
    form.Show();
    EXPECT_TRUE(PumpUntil([&] { return Viewable(xid); }));
    EXPECT_EQ(form.ClientToScreen({3, 4}), (TPoint{53, 64}));
}

TEST_F(FrameworkGuiTest, PointerAndKeysArriveAsMessagesInClientTerms)
{
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(100, 100, 300, 200);
    form.Show();
    const Window xid = XidOf(form);
    const HWND window = form.Handle();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(xid); }));
    Focus(xid);

    Xdotool("mousemove 130 150");
    EXPECT_TRUE(PumpUntil([&] {
        return Find([&](const MSG& m) {
            return m.hwnd == window && m.message == WM_MOUSEMOVE && m.lParam == MAKELPARAM(30, 50);
        });
    }));
    EXPECT_EQ(GetCursorPos(), (TPoint{130, 150}));

    seen.clear();
    Xdotool("click 1");
    ASSERT_TRUE(PumpUntil([&] { return Find([&](const MSG& m) { return m.message == WM_LBUTTONUP; }); }));
    const MSG* down = Find([&](const MSG& m) { return m.message == WM_LBUTTONDOWN; });
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->hwnd, window);
    EXPECT_EQ(down->wParam & MK_LBUTTON, WPARAM{MK_LBUTTON});
    EXPECT_EQ(down->lParam, MAKELPARAM(30, 50));

    seen.clear();
    Xdotool("key a Escape F5 Return Left shift+b 7");
    const std::vector<WPARAM> expected{'A', VK_ESCAPE, VK_F1 + 4, VK_RETURN, VK_LEFT, VK_SHIFT, 'B', '7'};
    ASSERT_TRUE(PumpUntil([&] { return Saw(window, WM_KEYUP, '7'); }));
    std::vector<WPARAM> downs;
    std::string typed;
    for (const MSG& m : seen) {
        if (m.hwnd != window) continue;
        if (m.message == WM_KEYDOWN) downs.push_back(m.wParam);
        if (m.message == WM_CHAR) typed += static_cast<char>(m.wParam);
        if (m.message == WM_KEYUP) {
            EXPECT_NE(static_cast<uintptr_t>(m.lParam) & 0x80000000u, 0u);
        }
    }
    EXPECT_EQ(downs, expected);
    EXPECT_EQ(typed, "a\x1b\rB7");
}

TEST_F(FrameworkGuiTest, FocusMovingBetweenFormsAndAwayActivatesTheApplicationOnce)
{
    TForm first(nullptr);
    first.SetBounds(10, 10, 200, 150);
    first.Show();
    TForm second(nullptr);
    second.SetBounds(300, 10, 200, 150);
    second.Show();
    const Window other = XCreateSimpleWindow(FDisplay, DefaultRootWindow(FDisplay.Get()), 600, 10, 100, 100, 0, 0, 0);
    XMapWindow(FDisplay, other);
    const Window firstXid = XidOf(first), secondXid = XidOf(second);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(firstXid) && Viewable(secondXid) && Viewable(other); }));
    // Starting from the focus elsewhere, whatever an earlier test left.
    Focus(other);
    ASSERT_TRUE(PumpUntil([&] { return !Application->Active(); }));
    std::vector<std::string> events;
    TestHandlers activation;
    activation.notify = [&] { events.push_back(Application->Active() ? "activate" : "deactivate"); };
    Application->OnActivate = TNotifyEvent::Of<&TestHandlers::Notify>(&activation);
    Application->OnDeactivate = TNotifyEvent::Of<&TestHandlers::Notify>(&activation);
    const HWND a = first.Handle(), b = second.Handle();

    seen.clear();
    Focus(firstXid);
    ASSERT_TRUE(PumpUntil([&] { return Saw(a, WM_ACTIVATE, WA_ACTIVE); }));
    EXPECT_TRUE(Saw(a, WM_ACTIVATEAPP, TRUE));
    EXPECT_TRUE(Saw(a, WM_NCACTIVATE, TRUE));
    EXPECT_TRUE(Application->Active());
    EXPECT_EQ(ActiveWindow(), a);

    seen.clear();
    Focus(secondXid);
    ASSERT_TRUE(PumpUntil([&] { return Saw(b, WM_ACTIVATE, WA_ACTIVE); }));
    EXPECT_TRUE(Saw(a, WM_ACTIVATE, WA_INACTIVE));
    EXPECT_TRUE(Saw(a, WM_NCACTIVATE, FALSE));
    EXPECT_FALSE(Find([](const MSG& m) { return m.message == WM_ACTIVATEAPP; }))
        << "the focus stayed inside the application";
    EXPECT_TRUE(Application->Active());
    EXPECT_EQ(ActiveWindow(), b);

    seen.clear();
    Focus(other);
    ASSERT_TRUE(PumpUntil([&] { return !Application->Active(); }));
    EXPECT_TRUE(Saw(b, WM_ACTIVATE, WA_INACTIVE));
    EXPECT_TRUE(Saw(b, WM_ACTIVATEAPP, FALSE));
    EXPECT_EQ(ActiveWindow(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate"}));
    XDestroyWindow(FDisplay, other);
}

extern "C" void WakeOnSignal(int) { MessageQueue::WakeFromSignal(); }

// A signal handler cannot touch the queue; its wake must still end a wait on nothing else,
// at once rather than at some later event.
TEST_F(FrameworkGuiTest, ASignalHandlersWakeEndsTheLoopsWaitWithAnEmptyMessage)
{
    ASSERT_TRUE(ScreenAvailable());
    MSG pending{};
    while (MessageQueue::Peek(pending)) {
    }
    // A late tick, so that a missing wake fails the test instead of waiting for ever.
    TTimer fallback(nullptr);
    fallback.SetInterval(3000);
    fallback.SetEnabled(true);
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = WakeOnSignal;
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    const pthread_t loop = pthread_self();
    const auto started = std::chrono::steady_clock::now();
    std::thread signaller([loop] {
        std::this_thread::sleep_for(100ms);
        pthread_kill(loop, SIGUSR1);
    });
    MessageQueue::Wait();
    const auto waited = std::chrono::steady_clock::now() - started;
    signaller.join();
    sigaction(SIGUSR1, &previous, nullptr);
    MSG woken{};
    ASSERT_TRUE(MessageQueue::Peek(woken));
    EXPECT_EQ(woken.message, static_cast<UINT>(WM_NULL));
    EXPECT_EQ(woken.hwnd, nullptr);
    EXPECT_LT(waited, 1s);
}

}  // namespace
