#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "driver/port/com_port.h"
#include "driver/port/read_queue.h"
#include "tests/support/expect_error.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using testing::CountingBytes;
using testing::ExpectError;
using testing::TBytes;

constexpr std::uint8_t PortNumber = 7;
constexpr std::int64_t Capacity = TReadQueue::Capacity;

class ReadQueueTest : public ::testing::Test {
protected:
    TReadQueue& Queue() { return FPort.InputQueue(); }

    TBytes Contents()
    {
        TBytes bytes(Queue().Count());
        Queue().Peek(bytes.data(), bytes.size());
        return bytes;
    }

    // Bytes 1 to 10.
    void PutOneToTen()
    {
        TBytes bytes(10);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(i + 1);
        }
        Queue().Put(bytes.data(), bytes.size());
    }

private:
    testing::TScratchDirectory FScratch;  // the errors' log lands here
    TCOMPort FPort{PortNumber};
};

TEST_F(ReadQueueTest, PutOfExactlyTheFreeSpaceFillsTheQueueAndOneMoreByteIsRefused)
{
    const TBytes first = CountingBytes(16000);
    const TBytes rest = CountingBytes(TReadQueue::Capacity - first.size());
    Queue().Put(first.data(), first.size());
    EXPECT_EQ(Queue().DataEvent().WaitFor(0), TEvent::wrSignaled);
    EXPECT_EQ(Queue().DataEvent().WaitFor(0), TEvent::wrTimeout);  // auto-reset
    Queue().Put(rest.data(), rest.size());
    EXPECT_EQ(Queue().Count(), TReadQueue::Capacity);
    EXPECT_EQ(Queue().DataEvent().WaitFor(0), TEvent::wrSignaled);

    const std::uint8_t one = 0xEE;
    ExpectError([&] { Queue().Put(&one, 1); }, ecInputQueuePut, {PortNumber, 1, 0});
    EXPECT_EQ(Queue().Count(), TReadQueue::Capacity);
    EXPECT_EQ(Queue().DataEvent().WaitFor(0), TEvent::wrTimeout);

    TBytes expected = first;
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(Contents(), expected);
}

TEST_F(ReadQueueTest, PeekAndRemoveOfNothingChangeNothing)
{
    Queue().Peek(nullptr, 0);
    Queue().Remove(0);
    EXPECT_EQ(Queue().Count(), 0);

    PutOneToTen();
    const TBytes before = Contents();
    Queue().Peek(nullptr, 0);
    Queue().Remove(0);
    EXPECT_EQ(Contents(), before);
}

// Every refused call leaves the queue as it was. The capacity is checked
// before the count, whatever the queue holds.
TEST_F(ReadQueueTest, OversizedRequestsAreRefusedCapacityFirst)
{
    PutOneToTen();
    const TBytes before = Contents();
    std::vector<std::uint8_t> destination(TReadQueue::Capacity + 1);
    struct TCase {
        const char* Name;
        std::function<void()> Action;
        std::int16_t Code;
        std::int64_t First;
        std::int64_t Second;
    };
    const TCase cases[] = {
        {"peek above capacity", [&] { Queue().Peek(destination.data(), Capacity + 1); }, ecInputQueuePeekCapacity,
         Capacity + 1, Capacity},
        {"peek above count", [&] { Queue().Peek(destination.data(), 11); }, ecInputQueuePeekCount, 10, 11},
        {"remove above capacity", [&] { Queue().Remove(Capacity + 1); }, ecInputQueueRemoveCapacity, Capacity + 1,
         Capacity},
        {"remove above count", [&] { Queue().Remove(11); }, ecInputQueueRemoveCount, 10, 11},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectError(c.Action, c.Code, {PortNumber, c.First, c.Second});
        EXPECT_EQ(Contents(), before);
    }
}

TEST_F(ReadQueueTest, RemoveMovesTheRestToTheFront)
{
    PutOneToTen();
    Queue().Remove(3);
    EXPECT_EQ(Queue().Count(), 7);
    EXPECT_EQ(Contents(), (TBytes{4, 5, 6, 7, 8, 9, 10}));
    Queue().Remove(7);
    EXPECT_EQ(Queue().Count(), 0);
}

}  // namespace
}  // namespace zarvik12m
