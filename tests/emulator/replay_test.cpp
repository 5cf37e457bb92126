// The replay of a line trace, in-process with a raw client as the
// computer: the trace file's reading, the comparison as one stream, and
// the difference it ends with.

#include <future>
#include <string>

#include <gtest/gtest.h>

#include "tests/emulator/raw_client.h"
#include "tools/emulator/replay.h"
#include "tools/emulator/trace_file.h"

namespace zarvik12m::emulator {
namespace {

using testing::Hex;
using testing::TRawClient;

// Two goods reads; the second answer came in two reads. Hand-written as a
// user's file may be: remarks, a blank line, CR LF, lower-case hex.
const char* const TwoReads =
    "# two goods reads\r\n"
    "open 2026-12-09 10:00:00.000 port=1 baud=0 version=1.0.0 device=COM1 on the desk\r\n"
    "\n"
    "0 > 01 02 24 00 01 D7\n"
    "900 < 01 01 24 07 d2\n"
    "1500 > 01 02 24 00 02 D6\n"
    "2000 < AA BB\n"
    "2100 < CC\n";

TEST(TraceFile, ReadsOpeningsAndEventsAndRefusesWhatIsNoTrace)
{
    const TTrace trace = ParseTrace(TwoReads);
    ASSERT_EQ(trace.Openings.size(), 1U);
    EXPECT_EQ(trace.Openings[0].BaudRate, 0U);
    ASSERT_EQ(trace.Events.size(), 5U);
    EXPECT_TRUE(trace.Events[0].ToRegister);
    EXPECT_EQ(trace.Events[1].Microseconds, 900U);
    EXPECT_EQ(trace.Events[1].Bytes, Hex("01 01 24 07 D2"));
    EXPECT_EQ(TraceStream(trace, true), Hex("01 02 24 00 01 D7 01 02 24 00 02 D6"));
    EXPECT_EQ(TraceStream(trace, false), Hex("01 01 24 07 D2 AA BB CC"));

    const TTrace two = ParseTrace("open x port=1 baud=9600 device=a\n5 > 01\nopen y baud=19200\n7 < 02\n");
    ASSERT_EQ(two.Openings.size(), 2U);
    EXPECT_EQ(two.Openings[1].BaudRate, 19200U);
    EXPECT_EQ(two.Events[1].Opening, 1U);

    for (const char* bad : {"5 > 0\n", "5 > 012\n", "5 > GG\n", "5 >\n", "5 = 01\n", "-5 > 01\n", "x > 01\n",
                            "99999999999999999999999 > 01\n", "open x baud=fast\n", "5 > +1\n"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(static_cast<void>(ParseTrace(std::string("# fine\n") + bad)), TTraceError);
        try {
            static_cast<void>(ParseTrace(std::string("# fine\n") + bad));
        } catch (const TTraceError& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, 7), "line 2:");
        }
    }
}

// The replay on a thread of its own, the test as the computer.
class ReplayTest : public ::testing::Test {
protected:
    ReplayTest() : FReplay(ParseTrace(TwoReads), 50) {}

    void Start()
    {
        FResult = std::async(std::launch::async, [this] { return FReplay.Run(); });
    }

    TReplayResult Result() { return FResult.get(); }

    TReplay FReplay;
    std::future<TReplayResult> FResult;
};

TEST_F(ReplayTest, TheComputersBytesCountAsOneStreamHoweverTheyAreCut)
{
    TRawClient client(FReplay.SlavePath());
    Start();
    client.Write(Hex("01 02"));
    client.Write(Hex("24 00 01 D7 01"));  // runs into the next request
    EXPECT_EQ(client.Read(5), Hex("01 01 24 07 D2"));
    client.Write(Hex("02 24 00 02 D6"));
    EXPECT_EQ(client.Read(3), Hex("AA BB CC"));
    const TReplayResult result = Result();
    EXPECT_EQ(result.Outcome, roPlayed);
}

TEST_F(ReplayTest, TheFirstDifferentByteEndsThePlayWithItsOffset)
{
    TRawClient client(FReplay.SlavePath());
    Start();
    client.Write(Hex("01 02 24 00 01 D7"));
    EXPECT_EQ(client.Read(5), Hex("01 01 24 07 D2"));
    client.Write(Hex("01 02 24 00 03 D5"));
    const TReplayResult result = Result();
    EXPECT_EQ(result.Outcome, roDiffered);
    EXPECT_EQ(result.Difference.Offset, 10U);
    EXPECT_EQ(result.Difference.Expected, Hex("02 D6"));
    EXPECT_EQ(result.Difference.Received, Hex("03 D5"));
    EXPECT_EQ(client.Pending(), 0U) << "no answer to a request the trace does not have";
}

TEST_F(ReplayTest, BytesBeyondTheTracesEndAreADifference)
{
    TRawClient client(FReplay.SlavePath());
    Start();
    client.Write(Hex("01 02 24 00 01 D7"));
    EXPECT_EQ(client.Read(5), Hex("01 01 24 07 D2"));
    client.Write(Hex("01 02 24 00 02 D6"));
    EXPECT_EQ(client.Read(3), Hex("AA BB CC"));
    client.Write(Hex("01 02"));
    const TReplayResult result = Result();
    EXPECT_EQ(result.Outcome, roDiffered);
    EXPECT_EQ(result.Difference.Offset, 12U);
    EXPECT_TRUE(result.Difference.Expected.empty());
    EXPECT_EQ(result.Difference.Received, Hex("01 02"));
}

}  // namespace
}  // namespace zarvik12m::emulator
