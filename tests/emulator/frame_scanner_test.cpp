#include <chrono>

#include <gtest/gtest.h>

#include "tests/emulator/raw_client.h"
#include "tools/emulator/frame_scanner.h"
#include "tools/emulator/line_clock.h"
#include "tools/emulator/wire.h"

namespace zarvik12m::emulator::testing {
namespace {

using std::chrono::milliseconds;

constexpr auto Stall = milliseconds(100);
const TClock::time_point T0{std::chrono::seconds(1000)};

class FrameScannerTest : public ::testing::Test {
protected:
    void Arrive(const TByteString& bytes, TClock::time_point at = T0)
    {
        for (const std::uint8_t byte : bytes) {
            FScanner.Append(byte, at);
        }
    }

    // Skips until a frame or a wait, which is left in FLast; returns the
    // bytes skipped.
    TByteString SkipAll(TClock::time_point now)
    {
        TByteString skipped;
        for (FLast = FScanner.Next(now); FLast.Kind == TFrameScanner::skSkip; FLast = FScanner.Next(now)) {
            skipped.push_back(FLast.Bytes.front());
        }
        return skipped;
    }

    TFrameScanner::TStep FLast;

    TFrameScanner FScanner{Stall};
};

TEST_F(FrameScannerTest, TakesWholeFramesForAnyAddress)
{
    Arrive(Joined({Hex("02 00 1B E2"), Hex("01 02 24 00 01 D7")}));
    TFrameScanner::TStep step = FScanner.Next(T0);
    EXPECT_EQ(step.Kind, TFrameScanner::skFrame);
    EXPECT_EQ(step.Bytes, Hex("02 00 1B E2"));
    step = FScanner.Next(T0);
    EXPECT_EQ(step.Kind, TFrameScanner::skFrame);
    EXPECT_EQ(step.Bytes, Hex("01 02 24 00 01 D7"));
    EXPECT_EQ(FScanner.Next(T0).Kind, TFrameScanner::skIdle);
}

TEST_F(FrameScannerTest, SkipsWhatBeginsNoFrame)
{
    // No address (00, 1B), no message with that code and length (99 05 24,
    // 05 24 00), a wrong checksum (24 00 01 00 would be a message of any
    // length; 01 00 1B E4).
    Arrive(Joined({Hex("00 1B"), Hex("99 05 24 00"), Hex("01 00 1B E4"), Hex("01 00 1B E3")}));
    EXPECT_EQ(SkipAll(T0), Hex("00 1B 99 05 24 00 01 00 1B E4"));
    EXPECT_EQ(FLast.Kind, TFrameScanner::skFrame);
    EXPECT_EQ(FLast.Bytes, Hex("01 00 1B E3"));
}

TEST_F(FrameScannerTest, WaitsForTheRestThenGivesUpAfterSilence)
{
    Arrive(Hex("01 02 24 00"));
    TFrameScanner::TStep step = FScanner.Next(T0);
    EXPECT_EQ(step.Kind, TFrameScanner::skWait);
    EXPECT_EQ(step.WakeAt, T0 + Stall);

    // The rest in time completes the frame.
    TFrameScanner completed(Stall);
    for (const std::uint8_t byte : Hex("01 02 24 00")) {
        completed.Append(byte, T0);
    }
    for (const std::uint8_t byte : Hex("01 D7")) {
        completed.Append(byte, T0 + milliseconds(50));
    }
    EXPECT_EQ(completed.Next(T0 + milliseconds(50)).Kind, TFrameScanner::skFrame);

    // Silence: the first byte goes, and the scanner looks again.
    EXPECT_EQ(SkipAll(T0 + Stall), Hex("01 02 24 00"));
    EXPECT_EQ(FLast.Kind, TFrameScanner::skIdle);
}

TEST_F(FrameScannerTest, BytesCountOnlyOnceTheyHaveCrossedTheLine)
{
    TLineClock line;
    line.SetBaudRate(1000);  // 10 ms a byte
    for (const std::uint8_t byte : Hex("01 00 1B E3")) {
        FScanner.Append(byte, line.Carry(T0));
    }
    TFrameScanner::TStep step = FScanner.Next(T0);
    EXPECT_EQ(step.Kind, TFrameScanner::skWait);
    EXPECT_EQ(step.WakeAt, T0 + milliseconds(10));
    step = FScanner.Next(T0 + milliseconds(35));
    EXPECT_EQ(step.Kind, TFrameScanner::skWait);
    EXPECT_EQ(step.WakeAt, T0 + milliseconds(40));
    EXPECT_EQ(FScanner.Next(T0 + milliseconds(40)).Kind, TFrameScanner::skFrame);
}

TEST(Wire, FramesMatchTheRegistersLiteralBytes)
{
    EXPECT_EQ(BuildFrame(1, 0x1B, {}), Hex("01 00 1B E3"));
    const TBytes goodsOne = {0x00, 0x01};
    EXPECT_EQ(BuildFrame(1, 0x24, goodsOne), Hex("01 02 24 00 01 D7"));
    EXPECT_EQ(BuildFrame(12, 0x1A, {}), Hex("12 00 1A D3"));
    EXPECT_EQ(AddressOf(99), 0x99);
    EXPECT_EQ(NetNumberOf(0x47), 47);
    EXPECT_EQ(NetNumberOf(0x4A), 0);
}

TEST(Wire, TranslatesBetweenWindowsAndDosCyrillic)
{
    struct TPair {
        std::uint8_t Windows;
        std::uint8_t Dos;
    };
    // Letters both ways: А, п, р, я, Ё, ё, and ASCII unchanged.
    for (const TPair pair : {TPair{0xC0, 0x80}, TPair{0xEF, 0xAF}, TPair{0xF0, 0xE0}, TPair{0xFF, 0xEF},
                             TPair{0xA8, 0xF0}, TPair{0xB8, 0xF1}, TPair{0x41, 0x41}}) {
        EXPECT_EQ(WinToDos(pair.Windows), pair.Dos);
        EXPECT_EQ(DosToWin(pair.Dos), pair.Windows);
    }
    // Punctuation goes one way only.
    EXPECT_EQ(WinToDos(0x85), 0xB5);
    EXPECT_EQ(WinToDos(0xB0), 0xF0);
    EXPECT_EQ(DosToWin(0xB5), 0xC1);
    EXPECT_EQ(DosToWin(0xDF), 0x9D);
    EXPECT_EQ(DosToWin(0xFF), 0xA0);
}

}  // namespace
}  // namespace zarvik12m::emulator::testing
