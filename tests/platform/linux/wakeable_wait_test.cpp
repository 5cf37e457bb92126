// The wakeable wait of the Linux-only programs: woken from another thread
// or by an end signal, a file that is ready or hung up, and the time limit.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX pthread_kill and signal masks
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "driver/platform/file.h"
#include "driver/platform/linux_support.h"
#include "driver/platform/wakeable_wait.h"

namespace zarvik12m {
namespace {

using TClock = TWakeableWait::TClock;

// Both ends of a pipe.
struct TPipe {
    TPipe()
    {
        int ends[2] = {-1, -1};
        EXPECT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        Read = TFileHandle(NativeFileOf(ends[0]));
        Write = TFileHandle(NativeFileOf(ends[1]));
    }

    TFileHandle Read;
    TFileHandle Write;
};

TEST(WakeableWaitTest, AWakeUpFromAnotherThreadEndsAWaitWithoutLimitAndIsKept)
{
    TWakeableWait wait;
    std::thread waker([&wait] { wait.Wake(); });
    EXPECT_TRUE(wait.Wait(std::nullopt).Woken);
    waker.join();

    // Kept: a later wait returns at once, woken before the file's readiness.
    const TPipe pipe;
    ASSERT_EQ(WriteAllBytes(pipe.Write.Get(), "x"), 0);
    const TWakeableWait::TOutcome outcome = wait.Wait(pipe.Read.Get(), TWakeableWait::rdReadable, std::nullopt);
    EXPECT_TRUE(outcome.Woken);
    EXPECT_TRUE(outcome.Ready);
    EXPECT_TRUE(wait.EndSignalName().empty());
}

TEST(WakeableWaitTest, TellsAFileReadyOrHungUpAndGivesUpAtTheTimeLimit)
{
    TWakeableWait wait;
    const TPipe pipe;

    // Nothing to read: the time limit ends the wait, and not before.
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(20);
    TWakeableWait::TOutcome outcome = wait.Wait(pipe.Read.Get(), TWakeableWait::rdReadable, deadline);
    EXPECT_FALSE(outcome.Woken || outcome.Ready || outcome.HungUp);
    EXPECT_GE(TClock::now(), deadline);

    outcome = wait.Wait(pipe.Write.Get(), TWakeableWait::rdWritable, std::nullopt);
    EXPECT_TRUE(outcome.Ready);
    EXPECT_FALSE(outcome.Woken || outcome.HungUp);

    ASSERT_EQ(WriteAllBytes(pipe.Write.Get(), "x"), 0);
    outcome = wait.Wait(pipe.Read.Get(), TWakeableWait::rdReadable, std::nullopt);
    EXPECT_TRUE(outcome.Ready);
    EXPECT_FALSE(outcome.Woken || outcome.HungUp);

    TPipe closed;
    closed.Write.Close();
    outcome = wait.Wait(closed.Read.Get(), TWakeableWait::rdReadable, std::nullopt);
    EXPECT_TRUE(outcome.HungUp);
    EXPECT_FALSE(outcome.Woken);
}

TEST(WakeableWaitTest, AnEndSignalWakesTheWaitAndIsNamed)
{
    sigset_t before;
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, nullptr, &before), 0);
    {
        TWakeableWait wait(TWakeableWait::wsWakeAndEndSignals);
        EXPECT_FALSE(wait.Wait(TClock::now()).Woken);
        // To this thread alone, which has it blocked now: it waits for the
        // wait to take it.
        ASSERT_EQ(pthread_kill(pthread_self(), SIGHUP), 0);
        EXPECT_TRUE(wait.Wait(std::nullopt).Woken);
        EXPECT_EQ(wait.EndSignalName(), "SIGHUP");
        EXPECT_TRUE(wait.Wait(TClock::now()).Woken);
    }
    ASSERT_EQ(pthread_sigmask(SIG_SETMASK, &before, nullptr), 0);
}

}  // namespace
}  // namespace zarvik12m
