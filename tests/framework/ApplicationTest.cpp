#include "framework/Application.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/FrameworkTestSupport.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"

namespace {

constexpr UINT WmFirst = WM_USER + 1;

class ApplicationTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        // Left hidden unless a test needs it shown: hiding a shown window is slow under Wine.
        form = std::make_unique<TForm>(nullptr);
    }
    void TearDown() override
    {
        form.reset();
        FrameworkTest::TearDown();
    }

    std::unique_ptr<TForm> form;
    TestHandlers handlers;
    std::vector<std::string> events;  // what happened, in order
};

TEST_F(ApplicationTest, FirstFormIsMainAndFreeingItClearsIt)
{
    ASSERT_EQ(Application->MainForm(), form.get());
    TForm second(nullptr);
    EXPECT_EQ(Application->MainForm(), form.get());
    form.reset();
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST_F(ApplicationTest, IdleLeavingDoneFalseIsCalledAgainAtOnce)
{
    // A timer that would end the loop if it ever waited: it must never get the chance.
    TTimer guard(nullptr);
    guard.SetInterval(2000);
    handlers.notify = [&] {
        events.push_back("guard");
        Application->Terminate();
    };
    guard.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    int calls = 0;
    handlers.idle = [&](bool& done) {
        ++calls;
        if (calls < 4)
            done = false;
        else
            Application->Terminate();
    };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();

    EXPECT_EQ(calls, 4);
    EXPECT_TRUE(events.empty());
}

TEST_F(ApplicationTest, IdleLeavingDoneTrueWaitsForTheNextMessage)
{
    TTimer timer(nullptr);
    timer.SetInterval(30);
    handlers.notify = [&] {
        events.push_back("tick");
        timer.SetEnabled(false);
    };
    timer.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    handlers.idle = [&](bool&) {
        events.push_back("idle");
        if (events.size() > 1) Application->Terminate();
    };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();

    // A loop that idled instead of waiting would call the handler again and again before the tick.
    EXPECT_EQ(events, (std::vector<std::string>{"idle", "tick", "idle"}));
}

TEST_F(ApplicationTest, IdleRunsOnceTheQueueIsEmptied)
{
    MessageQueue::Post(form->Handle(), WmFirst, 0, 0);
    MessageQueue::Post(form->Handle(), WmFirst + 1, 0, 0);
    handlers.message = [&](MSG& msg, bool&) {
        if (msg.message >= WmFirst) events.push_back("message");
    };
    handlers.idle = [&](bool&) {
        events.push_back("idle");
        Application->Terminate();
    };
    Application->OnMessage = TMessageEvent::Of<&TestHandlers::Message>(&handlers);
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();

    EXPECT_EQ(events, (std::vector<std::string>{"message", "message", "idle"}));
}

TEST_F(ApplicationTest, HookSeesEveryMessageInOrderAndHandledDropsIt)
{
    const HWND window = form->Handle();
    MessageQueue::Post(window, WmFirst, 7, 8);
    MessageQueue::Post(window, WM_CLOSE, 0, 0);
    MessageQueue::Post(nullptr, WmFirst + 1, 9, 10);
    std::vector<MSG> seen;
    handlers.message = [&](MSG& msg, bool& handled) {
        EXPECT_FALSE(handled);
        // Only what the test posted: the system may have its own messages for a shown window.
        if (msg.message != WM_CLOSE && msg.message < WmFirst) return;
        seen.push_back(msg);
        handled = msg.message == WM_CLOSE;
    };
    Application->OnMessage = TMessageEvent::Of<&TestHandlers::Message>(&handlers);
    form->Show();

    Application->ProcessMessages();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].hwnd, window);
    EXPECT_EQ(seen[0].message, WmFirst);
    EXPECT_EQ(seen[0].wParam, 7u);
    EXPECT_EQ(seen[0].lParam, 8);
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(seen[2].message, WmFirst + 1);
    EXPECT_EQ(seen[2].wParam, 9u);
    EXPECT_TRUE(form->Visible()) << "the handled close reached the form";

    // The same message left to the loop closes the form.
    Application->OnMessage = {};
    MessageQueue::Post(window, WM_CLOSE, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(form->Visible());
}

TEST_F(ApplicationTest, ProcessMessagesTakesEachPendingMessageOnce)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(1);
    handlers.notify = [&] {
        ++ticks;
        // Slower than the interval: the timer is due again before the handler returns.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    };
    timer.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    std::vector<UINT> seen;
    handlers.message = [&](MSG& msg, bool&) {
        if (msg.message >= WmFirst) seen.push_back(msg.message);
    };
    Application->OnMessage = TMessageEvent::Of<&TestHandlers::Message>(&handlers);
    for (UINT i = 0; i < 3; ++i) MessageQueue::Post(form->Handle(), WmFirst + i, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));

    Application->ProcessMessages();

    EXPECT_EQ(seen, (std::vector<UINT>{WmFirst, WmFirst + 1, WmFirst + 2}));
    EXPECT_EQ(ticks, 1);
    timer.SetEnabled(false);
}

TEST_F(ApplicationTest, ExceptionGoesToOnException)
{
    handlers.close = [](TCloseAction&) { throw std::runtime_error("closing failed"); };
    form->OnClose = TCloseEvent::Of<&TestHandlers::Close>(&handlers);
    handlers.exception = [&](const std::exception& error) {
        events.push_back(error.what());
        Application->Terminate();
    };
    Application->OnException = TExceptionEvent::Of<&TestHandlers::Exception>(&handlers);
    MessageQueue::Post(form->Handle(), WM_CLOSE, 0, 0);

    Application->Run();

    EXPECT_EQ(events, std::vector<std::string>{"closing failed"});
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ApplicationTest, ExceptionWithoutHandlerIsShownInABox)
{
    int calls = 0;
    handlers.idle = [&](bool& done) {
        if (++calls == 1) throw std::runtime_error("Picture\rmissing");
        done = true;
        Application->Terminate();
    };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Picture\rmissing");
    EXPECT_EQ(boxes[0].caption, "Exception");
    EXPECT_EQ(boxes[0].icon, miError);
    EXPECT_EQ(calls, 2) << "the loop goes on after the box";
}

TEST_F(ApplicationTest, ClosingTheMainFormEndsRun)
{
    form->Show();
    TForm other(nullptr);
    other.Show();
    int idles = 0;
    handlers.idle = [&](bool&) {
        // First another form closes, which ends nothing; then the main form.
        ++idles;
        MessageQueue::Post(idles == 1 ? other.Handle() : form->Handle(), WM_CLOSE, 0, 0);
    };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();

    EXPECT_EQ(idles, 2);
    EXPECT_FALSE(other.Visible());
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(ApplicationTest, FreeingTheMainFormEndsRun)
{
    bool destroyed = false;
    handlers.close = [](TCloseAction& action) { action = caFree; };
    handlers.notify = [&] { destroyed = true; };
    form->OnClose = TCloseEvent::Of<&TestHandlers::Close>(&handlers);
    form->OnDestroy = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    handlers.idle = [&](bool&) { MessageQueue::Post(form->Handle(), WM_CLOSE, 0, 0); };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);

    Application->Run();
    Application->ProcessMessages();  // the form frees itself once the loop reaches its release

    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Application->MainForm(), nullptr);
    form.release();  // already freed
}

TEST_F(ApplicationTest, QuitMessageEndsRun)
{
    handlers.idle = [&](bool&) { MessageQueue::PostQuit(); };
    Application->OnIdle = TIdleEvent::Of<&TestHandlers::Idle>(&handlers);
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(ApplicationTest, ActivationMessagesRaiseTheEventsOncePerChange)
{
    Application->SetActive(false);
    handlers.notify = [&] { events.push_back(Application->Active() ? "activate" : "deactivate"); };
    Application->OnActivate = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    Application->OnDeactivate = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);

    for (WPARAM active : {TRUE, TRUE, FALSE, FALSE, TRUE})
        MessageQueue::Post(form->Handle(), WM_ACTIVATEAPP, active, 0);
    Application->ProcessMessages();

    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate", "activate"}));
    Application->SetActive(false);
}

}  // namespace
