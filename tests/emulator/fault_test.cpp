#include <chrono>

#include <gtest/gtest.h>

#include "driver/platform/linux_support.h"
#include "tests/emulator/raw_client.h"
#include "tools/emulator/emulator.h"

namespace zarvik12m::emulator::testing {
namespace {

using std::chrono::milliseconds;
using TSteady = std::chrono::steady_clock;

const TByteString SerialRequest = MakeFrame(0x01, 0x1B);
const TByteString SerialAnswer = MakeFrame(0x01, 0x1B, Hex("31 32 33 20 20 20 20 20 20 20 20 20 20"));
const TByteString StateRequest = MakeFrame(0x01, 0x15);
const TByteString StateAnswer = MakeFrame(0x01, 0x15, {0, 0});

class FaultTest : public ::testing::Test {
protected:
    static TEmulatorSettings Settings()
    {
        TEmulatorSettings settings;
        settings.SerialNumber = "123";
        settings.Goods[1] = {"4600000000001", 10, "Tea", 1, 1000};
        return settings;
    }

    // After a fault, the line must be back in step: the next command gets
    // exactly its own answer.
    void ExpectLineInStep()
    {
        FEmulator.SetFaults({});
        FClient.Write(StateRequest);
        EXPECT_EQ(FClient.Read(StateAnswer.size()), StateAnswer);
    }

    TEmulator FEmulator{Settings()};
    TRawClient FClient{FEmulator.SlavePath()};
};

TEST_F(FaultTest, NeverAnsweringStillCarriesOutCommands)
{
    FEmulator.SetNeverAnswer(true);
    FClient.Write(SerialRequest);
    FClient.Write(MakeFrame(0x01, 0x1A));  // clear
    ASSERT_TRUE(FEmulator.WaitForExchanges(2, LongWait));
    EXPECT_TRUE(FEmulator.Exchanges().at(0).Answer.empty());
    EXPECT_EQ(FEmulator.GoodsCount(), 0U);
    ExpectLineInStep();
}

struct TStatusCase {
    std::uint8_t Command;
    std::uint8_t Status;
    TByteString Request;
    std::size_t GoodsAfter;
};

TEST_F(FaultTest, ForcedStatusReplacesTheAnswer)
{
    TByteString write(40, 0x20);
    write[0] = 0;
    write[1] = 2;
    const TStatusCase cases[] = {
        {48, 5, MakeFrame(0x01, 0x24, {0, 1}), 1},
        {49, 9, MakeFrame(0x01, 0x25, write), 1},  // refused: not stored
        {50, 11, MakeFrame(0x01, 0x1A), 1},        // refused: not cleared
        {58, 3, SerialRequest, 1},
        {49, 0, MakeFrame(0x01, 0x25, write), 2},  // status 0 stores
    };
    for (const TStatusCase& statusCase : cases) {
        SCOPED_TRACE(static_cast<int>(statusCase.Command));
        FEmulator.SetForcedStatus(statusCase.Command, statusCase.Status);
        FClient.Write(statusCase.Request);
        EXPECT_EQ(FClient.Read(5), MakeFrame(0x01, statusCase.Request[2], {statusCase.Status}));
        FEmulator.ClearForcedStatus(statusCase.Command);
        EXPECT_EQ(FEmulator.GoodsCount(), statusCase.GoodsAfter);
    }
    ExpectLineInStep();
}

TEST_F(FaultTest, GarbageForeignFrameAndDuplicateSurroundTheAnswer)
{
    FEmulator.SetGarbage(Hex("FF 00 A5"));
    FEmulator.SetForeignNetNumber(7);
    FEmulator.SetDuplicateAnswer(true);
    TByteString foreign = SerialAnswer;
    foreign.front() = 0x07;
    foreign.back() = static_cast<std::uint8_t>(foreign.back() - 6);  // the address byte grew by 6
    const TByteString expected = Joined({Hex("FF 00 A5"), foreign, SerialAnswer, SerialAnswer});
    FClient.Write(SerialRequest);
    EXPECT_EQ(FClient.Read(expected.size()), expected);
    ASSERT_TRUE(FEmulator.WaitForExchanges(1, LongWait));
    EXPECT_EQ(FEmulator.Exchanges().at(0).Answer, SerialAnswer);
    ExpectLineInStep();
}

TEST_F(FaultTest, ChunksArriveSeparately)
{
    // The pause is long beside the time a read takes, so the first read
    // cannot see more than the first chunk.
    FEmulator.SetChunks(5, milliseconds(500));
    FClient.Write(SerialRequest);
    TByteString received = FClient.ReadSome();
    EXPECT_EQ(received.size(), 5U);
    const TByteString rest = FClient.Read(SerialAnswer.size() - received.size());
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(received, SerialAnswer);
    ExpectLineInStep();
}

// The delay and the line speed can only make an answer later: these lower
// bounds hold however busy the machine is.
TEST_F(FaultTest, DelayHoldsTheAnswerBack)
{
    FEmulator.SetAnswerDelay(milliseconds(300));
    const auto start = TSteady::now();
    FClient.Write(SerialRequest);
    EXPECT_EQ(FClient.Read(SerialAnswer.size()), SerialAnswer);
    EXPECT_GE(TSteady::now() - start, milliseconds(300));
    ExpectLineInStep();
}

TEST_F(FaultTest, BaudRatePacesBothDirections)
{
    FEmulator.SetBaudRate(1200);  // 120 bytes a second
    const TByteString request = MakeFrame(0x01, 0x24, {0, 1});
    const auto start = TSteady::now();
    FClient.Write(request);
    const TByteString answer = FClient.Read(42);
    const auto elapsed = TSteady::now() - start;
    EXPECT_EQ(answer.size(), 42U);
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / 1200);
    EXPECT_GE(elapsed, static_cast<long>(request.size() + answer.size()) * byteTime);
    ExpectLineInStep();
}

// The line starts at 9600 baud; the register set to 19200 understands
// nothing there and sends garbage, then answers once the computer sets the
// line to its speed.
TEST_F(FaultTest, ALineAtAnotherSpeedGetsOnlyGarbage)
{
    FEmulator.SetLineBaudRate(19200);
    FClient.Write(SerialRequest);
    EXPECT_EQ(FClient.Read(GarbledAnswer.size()), GarbledAnswer);
    EXPECT_EQ(FEmulator.GarbledByteCount(), SerialRequest.size());
    EXPECT_EQ(FEmulator.FrameCount(), 0U);

    ASSERT_TRUE(SetLineRate(FClient.Fd(), 19200));
    FClient.Write(SerialRequest);
    EXPECT_EQ(FClient.Read(SerialAnswer.size()), SerialAnswer);
    EXPECT_EQ(FClient.Pending(), 0U);
}

TEST_F(FaultTest, HangsUpAfterTheGivenExchanges)
{
    FEmulator.SetHangUpAfter(2);
    FClient.Write(SerialRequest);
    EXPECT_EQ(FClient.Read(SerialAnswer.size()), SerialAnswer);
    FClient.Write(StateRequest);
    EXPECT_EQ(FClient.Read(StateAnswer.size()), StateAnswer);  // the last answer still arrives whole
    EXPECT_TRUE(FClient.WaitForHangUp());
    EXPECT_TRUE(FEmulator.WaitForServiceEnd(LongWait));
    EXPECT_TRUE(FEmulator.ServiceEnded());
}

TEST_F(FaultTest, EveryFaultComesFromOneSettingsRecord)
{
    TFaults faults;
    faults.Garbage = {0x55};
    faults.ChunkSize = 100;
    faults.ForcedStatus[57] = 1;
    FEmulator.SetFaults(faults);
    EXPECT_EQ(FEmulator.Faults().Garbage, faults.Garbage);
    FClient.Write(StateRequest);
    EXPECT_EQ(FClient.Read(6), Joined({{0x55}, MakeFrame(0x01, 0x15, {1})}));
    ExpectLineInStep();
}

}  // namespace
}  // namespace zarvik12m::emulator::testing
