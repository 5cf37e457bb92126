#include <atomic>
#include <stdexcept>

#include <gtest/gtest.h>

#include "driver/platform/event.h"
#include "driver/platform/thread.h"
#include "tests/support/thread_test_access.h"

namespace zarvik12m {
namespace {

TEST(Thread, RunsAtOnceUnlessSuspended)
{
    TEvent ran;
    TThread running([&](TThread&) { ran.SetEvent(); });
    EXPECT_EQ(ran.WaitFor(10000), TEvent::wrSignaled);
    running.WaitFor();
    EXPECT_TRUE(running.Finished());
}

TEST(Thread, SuspendedThreadWaitsForStart)
{
    std::atomic<bool> ran{false};
    TThread suspended([&](TThread&) { ran = true; }, true);
    suspended.WaitFor();  // never started: returns at once
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(suspended.Finished());
    suspended.Start();
    suspended.WaitFor();
    EXPECT_TRUE(ran.load());
    suspended.Start();  // once only
}

TEST(Thread, DestructionTerminatesAndJoins)
{
    TEvent started;
    std::atomic<bool> sawTermination{false};
    {
        TThread loop([&](TThread& self) {
            started.SetEvent();
            while (!self.Terminated()) {
                TEvent idle;
                idle.WaitFor(1);
            }
            sawTermination = true;
        });
        ASSERT_EQ(started.WaitFor(10000), TEvent::wrSignaled);
    }
    EXPECT_TRUE(sawTermination.load());
}

TEST(Thread, TerminateIsSeenByTheBody)
{
    TEvent wake;
    TThread waiter([&](TThread& self) {
        while (!self.Terminated()) {
            wake.WaitFor(TEvent::Infinite);
        }
    });
    waiter.Terminate();
    EXPECT_TRUE(waiter.Terminated());
    wake.SetEvent();
    waiter.WaitFor();
    EXPECT_TRUE(waiter.Finished());
    EXPECT_EQ(TThreadTestAccess::FatalException(waiter), nullptr);
}

TEST(Thread, KeepsTheExceptionThatEndedIt)
{
    TThread failing([](TThread&) { throw std::runtime_error("broken line"); });
    failing.WaitFor();
    EXPECT_TRUE(failing.Finished());
    ASSERT_NE(TThreadTestAccess::FatalException(failing), nullptr);
    EXPECT_THROW(std::rethrow_exception(TThreadTestAccess::FatalException(failing)), std::runtime_error);
}

TEST(Thread, PriorityIsABestEffort)
{
    for (const auto priority : {TThread::tpNormal, TThread::tpAboveNormal, TThread::tpHighest}) {
        std::atomic<bool> ran{false};
        TThread thread([&](TThread&) { ran = true; }, true);
        thread.SetPriority(priority);
        thread.Start();
        thread.WaitFor();
        EXPECT_TRUE(ran.load());
        EXPECT_EQ(TThreadTestAccess::FatalException(thread), nullptr);
    }
}

}  // namespace
}  // namespace zarvik12m
