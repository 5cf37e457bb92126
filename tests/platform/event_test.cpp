#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/platform/event.h"

namespace zarvik12m {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(Event, StartsAsCreated)
{
    TEvent unsignaled(TEvent::rmAutoReset, false);
    EXPECT_EQ(unsignaled.WaitFor(0), TEvent::wrTimeout);
    TEvent signaled(TEvent::rmAutoReset, true);
    EXPECT_EQ(signaled.WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(signaled.WaitFor(0), TEvent::wrTimeout);
}

TEST(Event, KeepsASetMadeBeforeTheWait)
{
    TEvent event;
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(TEvent::Infinite), TEvent::wrSignaled);
}

TEST(Event, AutoResetCountsSeveralSetsAsOne)
{
    TEvent event(TEvent::rmAutoReset);
    event.SetEvent();
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(event.WaitFor(0), TEvent::wrTimeout);
}

TEST(Event, ManualResetStaysSignaledUntilReset)
{
    TEvent event(TEvent::rmManualReset);
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(event.WaitFor(0), TEvent::wrSignaled);
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), TEvent::wrTimeout);
}

TEST(Event, ResetDiscardsAPendingSet)
{
    TEvent event(TEvent::rmAutoReset);
    event.SetEvent();
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), TEvent::wrTimeout);
}

TEST(Event, TimedWaitEndsAfterItsTime)
{
    TEvent event;
    const auto start = steady_clock::now();
    EXPECT_EQ(event.WaitFor(50), TEvent::wrTimeout);
    EXPECT_GE(steady_clock::now() - start, milliseconds(50));
}

TEST(Event, WakesAWaiterOnAnotherThread)
{
    TEvent request;
    TEvent answer;
    std::thread peer([&] {
        ASSERT_EQ(request.WaitFor(TEvent::Infinite), TEvent::wrSignaled);
        answer.SetEvent();
    });
    request.SetEvent();
    EXPECT_EQ(answer.WaitFor(10000), TEvent::wrSignaled);
    peer.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    TEvent event(TEvent::rmAutoReset);
    TEvent released(TEvent::rmAutoReset);
    std::atomic<int> count{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            event.WaitFor(TEvent::Infinite);
            count.fetch_add(1);
            released.SetEvent();
        });
    }
    for (int expected = 1; expected <= 3; ++expected) {
        event.SetEvent();
        ASSERT_EQ(released.WaitFor(10000), TEvent::wrSignaled);
        // Each set lets exactly one waiter through: no other can be
        // released until the next set.
        EXPECT_EQ(count.load(), expected);
        EXPECT_EQ(released.WaitFor(20), TEvent::wrTimeout);
        EXPECT_EQ(count.load(), expected);
    }
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
}

TEST(Event, ManualResetReleasesEveryWaiter)
{
    TEvent gate(TEvent::rmManualReset);
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (gate.WaitFor(10000) == TEvent::wrSignaled) {
                passed.fetch_add(1);
            }
        });
    }
    gate.SetEvent();
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(passed.load(), 4);
}

}  // namespace
}  // namespace zarvik12m
