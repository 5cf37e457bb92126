#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>

#include <gtest/gtest.h>

#include "driver/platform/event.h"
#include "driver/platform/serial_device.h"
#include "tests/support/pseudo_terminal.h"

namespace zarvik12m {
namespace {

using testing::CountingBytes;
using testing::TBytes;
using testing::TPseudoTerminal;

TEST(SerialDevice, IsHeldExclusivelyAgainstThisAndOtherProcesses)
{
    const TPseudoTerminal line;
    TSerialDevice first;
    ASSERT_TRUE(first.Open(line.SlavePath()));
    EXPECT_FALSE(first.Open(line.SlavePath()));
    EXPECT_EQ(first.LastError().Kind, TErrorKind::Busy);
    EXPECT_EQ(first.LastError().Code, EBUSY);

    TSerialDevice second;
    EXPECT_FALSE(second.Open(line.SlavePath()));
    EXPECT_EQ(second.LastError().Kind, TErrorKind::Busy);
    EXPECT_EQ(second.LastError().Code, EBUSY);

    // No thread of ours runs here, so the child may use the device layer.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TSerialDevice other;
        _exit(!other.Open(line.SlavePath()) && other.LastError().Kind == TErrorKind::Busy ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process opened the device";

    first.Close();
    first.Close();
    EXPECT_TRUE(second.Open(line.SlavePath()));
}

// A network line's failures come as kinds as well: a malformed address,
// and any second open of an object that is open already.
TEST(SerialDevice, ANetworkAddressTellsItsFailuresByKindToo)
{
    const TPseudoTerminal line;
    TSerialDevice device;
    EXPECT_FALSE(device.Open("tcp://no-port-here"));
    EXPECT_EQ(device.LastError().Kind, TErrorKind::Other);
    EXPECT_EQ(device.LastError().Code, EINVAL);
    ASSERT_TRUE(device.Open(line.SlavePath()));
    EXPECT_FALSE(device.Open("rfc2217://127.0.0.1:1"));
    EXPECT_EQ(device.LastError().Kind, TErrorKind::Busy);
    EXPECT_TRUE(device.IsOpen());
}

// What the read thread relies on: a status never reports more than the
// input queue, and reading what it reports drains a longer burst in order.
TEST(SerialDevice, StatusReportsAtMostTheInputQueue)
{
    const TPseudoTerminal line;
    TSerialDevice device;
    ASSERT_TRUE(device.Open(line.SlavePath()));
    ASSERT_TRUE(device.SetQueueSizes(16, 16));
    ASSERT_TRUE(device.SetLineSettings(9600, spNone, 8, sbOne));
    ASSERT_TRUE(device.SetEventMask(seReceived));

    const TBytes sent = CountingBytes(100);
    line.Send(sent);
    TBytes received;
    while (received.size() < sent.size()) {
        std::uint32_t events = 0;
        ASSERT_TRUE(device.WaitEvent(events));
        ASSERT_EQ(events, std::uint32_t{seReceived});
        std::size_t waiting = 0;
        ASSERT_TRUE(device.ReadStatus(waiting));
        ASSERT_LE(waiting, 16U);
        std::uint8_t buffer[16];
        std::size_t read = 0;
        ASSERT_TRUE(device.Read(buffer, waiting, read));
        ASSERT_EQ(read, waiting);
        received.insert(received.end(), buffer, buffer + read);
    }
    EXPECT_EQ(received, sent);
}

TEST(SerialDevice, ClearingTheEventMaskEndsWaitsNowAndLater)
{
    const TPseudoTerminal line;
    TSerialDevice device;
    ASSERT_TRUE(device.Open(line.SlavePath()));
    ASSERT_TRUE(device.SetEventMask(seReceived));

    TEvent waiting;
    std::uint32_t events = seError;
    bool waited = false;
    std::thread waiter([&] {
        waiting.SetEvent();
        waited = device.WaitEvent(events);
    });
    ASSERT_EQ(waiting.WaitFor(10000), TEvent::wrSignaled);
    ASSERT_TRUE(device.SetEventMask(0));
    waiter.join();
    EXPECT_TRUE(waited);
    EXPECT_EQ(events, 0U);

    events = seError;
    EXPECT_TRUE(device.WaitEvent(events));
    EXPECT_EQ(events, 0U);
}

TEST(SerialDevice, WriteGivesUpAfterItsTimeLimitWhenTheLineIsFull)
{
    const TPseudoTerminal line;  // the far end never reads
    TSerialDevice device;
    ASSERT_TRUE(device.Open(line.SlavePath()));
    ASSERT_TRUE(device.SetLineSettings(9600, spNone, 8, sbOne));
    TSerialTimeouts timeouts;
    timeouts.WriteTotalTimeoutConstant = 20;
    ASSERT_TRUE(device.SetTimeouts(timeouts));

    const TBytes block = CountingBytes(4096);
    TSerialWriteResult result = swDone;
    std::size_t written = 0;
    std::size_t total = 0;
    for (int i = 0; i < 1000 && result == swDone; ++i) {
        result = device.Write(block.data(), block.size(), written);
        total += written;
    }
    ASSERT_EQ(result, swTimedOut);
    EXPECT_EQ(device.LastError().Kind, TErrorKind::TimedOut);
    EXPECT_EQ(device.LastError().Code, ETIMEDOUT);
    EXPECT_LT(written, block.size());
    EXPECT_GT(total, 0U);
}

}  // namespace
}  // namespace zarvik12m
