#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "framework/FrameworkTestSupport.h"
#include "framework/WinApi.h"

namespace {

using namespace std::chrono_literals;

class TimerTest : public FrameworkTest {
protected:
    // Takes and hands on messages until the timer has ticked count times in all.
    void RunUntilTicks(int count)
    {
        while (ticks < count) {
            MessageQueue::Wait();
            MSG msg;
            while (ticks < count && MessageQueue::Peek(msg)) MessageQueue::Dispatch(msg);
        }
    }

    TestHandlers handlers;
    int ticks = 0;
};

TEST_F(TimerTest, SlowHandlerNeverLeavesMoreThanOneTickPending)
{
    TTimer timer(nullptr);
    timer.SetInterval(1);
    handlers.notify = [&] {
        ++ticks;
        std::this_thread::sleep_for(30ms);
    };
    timer.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);

    for (int round = 1; round <= 5; ++round) {
        RunUntilTicks(round);
        // The handler took thirty intervals; give the queue many chances to take more ticks.
        for (int look = 0; look < 10; ++look) {
            MSG msg;
            MessageQueue::Peek(msg, false);
            std::this_thread::sleep_for(2ms);
        }
        timer.SetEnabled(false);
        EXPECT_LE(CountPending(WM_TIMER, timer.Id()), 1) << "round " << round;
        timer.SetEnabled(true);
    }
    EXPECT_EQ(ticks, 5) << "a tick left queued after disabling must not reach the handler";
}

TEST_F(TimerTest, DisabledOrZeroIntervalTimersDoNotTick)
{
    TTimer disabled(nullptr);
    disabled.SetInterval(1);
    disabled.SetEnabled(false);
    TTimer zero(nullptr);
    zero.SetInterval(0);
    int idle = 0;
    TestHandlers idleHandlers;
    idleHandlers.notify = [&] { ++idle; };
    disabled.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&idleHandlers);
    zero.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&idleHandlers);
    TTimer clock(nullptr);
    clock.SetInterval(10);
    handlers.notify = [&] { ++ticks; };
    clock.OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);

    RunUntilTicks(3);

    EXPECT_EQ(idle, 0);
    EXPECT_FALSE(disabled.Enabled());
}

TEST_F(TimerTest, TickQueuedForAFreedTimerReachesNobody)
{
    auto timer = std::make_unique<TTimer>(nullptr);
    timer->SetInterval(1);
    handlers.notify = [&] { ++ticks; };
    timer->OnTimer = TNotifyEvent::Of<&TestHandlers::Notify>(&handlers);
    const uintptr_t id = timer->Id();
    std::this_thread::sleep_for(20ms);
    MSG msg;
    MessageQueue::Peek(msg, false);  // lets the due tick into the queue
    ASSERT_EQ(TTimer::FindTimer(id), timer.get());

    timer.reset();
    Drain();

    EXPECT_EQ(TTimer::FindTimer(id), nullptr);
    EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, TimersHaveDistinctIdsAndGoWithTheirOwner)
{
    auto owner = std::make_unique<TComponent>(nullptr);
    auto* first = new TTimer(owner.get());
    auto* second = new TTimer(owner.get());
    const uintptr_t firstId = first->Id();
    const uintptr_t secondId = second->Id();
    EXPECT_NE(firstId, secondId);
    EXPECT_EQ(TTimer::FindTimer(secondId), second);

    owner.reset();

    EXPECT_EQ(TTimer::FindTimer(firstId), nullptr);
    EXPECT_EQ(TTimer::FindTimer(secondId), nullptr);
}

}  // namespace
