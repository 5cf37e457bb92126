#include <sys/file.h>

#include <atomic>
#include <ctime>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tests/emulator/raw_client.h"
#include "tools/emulator/emulator.h"

namespace zarvik12m::emulator::testing {
namespace {

using namespace zarvik12m::literals;

TGoodsRecord Bread()
{
    return {"4607010079192", 52, std::string("Хлеб Бородинский"_cp1251), 1, 24000};
}

TByteString Payload(const TByteString& frame)
{
    return {frame.begin() + 3, frame.end() - 1};
}

// The goods write command's payload, laid out by hand: number, barcode
// right-aligned in 13, price, name in the register's letters padded to 16,
// group, quantity in thousandths.
TByteString GoodsWrite(std::uint16_t number, const std::string& barcode13, std::uint32_t price,
                       const TByteString& dosName16, std::uint8_t group, std::uint32_t quantity)
{
    const auto bigEndian = [](std::uint32_t value) {
        return TByteString{static_cast<std::uint8_t>(value >> 24U), static_cast<std::uint8_t>(value >> 16U),
                           static_cast<std::uint8_t>(value >> 8U), static_cast<std::uint8_t>(value)};
    };
    return Joined({{static_cast<std::uint8_t>(number >> 8U), static_cast<std::uint8_t>(number)},
                   TByteString(barcode13.begin(), barcode13.end()),
                   bigEndian(price),
                   dosName16,
                   {group},
                   bigEndian(quantity)});
}

// "Молоко" in the register's letters, padded to 16.
TByteString MilkDos()
{
    return Joined({Hex("8C AE AB AE AA AE"), TByteString(10, 0x20)});
}

class EmulatorTest : public ::testing::Test {
protected:
    static TEmulatorSettings Settings()
    {
        TEmulatorSettings settings;
        settings.SerialNumber = "123456789";
        settings.Goods[1] = Bread();
        return settings;
    }

    TByteString Exchange(const TByteString& request, std::size_t answerLength)
    {
        FClient.Write(request);
        return FClient.Read(answerLength);
    }

    TEmulator FEmulator{Settings()};
    TRawClient FClient{FEmulator.SlavePath()};
};

struct TLiteralCase {
    const char* Name;
    std::uint8_t NetNumber;
    const char* Request;
    const char* Answer;
};

void PrintTo(const TLiteralCase& literalCase, std::ostream* stream)
{
    *stream << literalCase.Name;
}

class LiteralFrames : public ::testing::TestWithParam<TLiteralCase> {};

TEST_P(LiteralFrames, AreAnsweredByteForByte)
{
    TEmulatorSettings settings;
    settings.NetNumber = GetParam().NetNumber;
    settings.SerialNumber = "123456789";
    settings.Goods[1] = Bread();
    TEmulator emulator(settings);
    TRawClient client(emulator.SlavePath());
    const TByteString answer = Hex(GetParam().Answer);
    client.Write(Hex(GetParam().Request));
    EXPECT_EQ(client.Read(answer.size()), answer);
    ASSERT_TRUE(emulator.WaitForExchanges(1, LongWait));
    EXPECT_EQ(emulator.Exchanges().at(0).Request.Bytes, Hex(GetParam().Request));
    EXPECT_EQ(emulator.Exchanges().at(0).Answer, answer);
}

INSTANTIATE_TEST_SUITE_P(
    Emulator, LiteralFrames,
    ::testing::Values(
        TLiteralCase{"SerialNumber", 1, "01 00 1B E3", "01 0D 1B 31 32 33 34 35 36 37 38 39 20 20 20 20 79"},
        TLiteralCase{"GoodsFound", 1, "01 02 24 00 01 D7",
                     "01 26 24 34 36 30 37 30 31 30 30 37 39 31 39 32 00 00 00 34 95 AB A5 A1 20 81 AE E0 AE A4 A8 AD "
                     "E1 AA A8 A9 01 00 00 5D C0 8C"},
        TLiteralCase{"GoodsMissing", 1, "01 02 24 00 02 D6", "01 01 24 07 D2"},
        TLiteralCase{"ClearNet12", 12, "12 00 1A D3", "12 01 1A 00 D2"}),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

TEST_F(EmulatorTest, StoresWrittenGoodsAndAnswersThemBack)
{
    const TByteString write = GoodsWrite(5, "          123", 12, MilkDos(), 3, 1500);
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x25, write), 5), MakeFrame(0x01, 0x25, {0}));

    const std::optional<TGoodsRecord> stored = FEmulator.Goods(5);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, (TGoodsRecord{"          123", 12, std::string("Молоко"_cp1251), 3, 1500}));
    EXPECT_EQ(FEmulator.GoodsCount(), 2U);

    // Answer 11 carries everything but the number, in the same layout.
    const TByteString found = Exchange(MakeFrame(0x01, 0x24, {0, 5}), 42);
    EXPECT_EQ(found, MakeFrame(0x01, 0x24, TByteString(write.begin() + 2, write.end())));
}

TEST_F(EmulatorTest, RefusesGoodsNumbersOutsideTheTable)
{
    for (const int number : {0, 4001, 65535}) {
        SCOPED_TRACE(number);
        const TByteString write =
            GoodsWrite(static_cast<std::uint16_t>(number), "          123", 12, MilkDos(), 3, 1500);
        EXPECT_EQ(Exchange(MakeFrame(0x01, 0x25, write), 5), MakeFrame(0x01, 0x25, {8}));
    }
    EXPECT_EQ(FEmulator.GoodsCount(), 1U);
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x24, {0x0F, 0xA1}), 5), MakeFrame(0x01, 0x24, {7}));  // 4001
}

TEST_F(EmulatorTest, ClearEmptiesTheTable)
{
    FEmulator.SetGoods(4000, Bread());
    EXPECT_EQ(Exchange(Hex("01 00 1A E4"), 5), MakeFrame(0x01, 0x1A, {0}));
    EXPECT_EQ(FEmulator.GoodsCount(), 0U);
    EXPECT_EQ(Exchange(Hex("01 02 24 00 01 D7"), 5), MakeFrame(0x01, 0x24, {7}));
}

TEST_F(EmulatorTest, TellsStateModeAndDateTime)
{
    FEmulator.SetStateAndMode(3, 4);
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x15), 6), MakeFrame(0x01, 0x15, {3, 4}));

    const auto bcd = [](int value) { return static_cast<std::uint8_t>(value / 10 * 16 + value % 10); };
    const auto d5 = [&](std::time_t when) {
        std::tm local{};
        localtime_r(&when, &local);
        return TByteString{bcd(local.tm_mday), bcd(local.tm_mon + 1), bcd(local.tm_year % 100),
                           bcd(local.tm_hour), bcd(local.tm_min),     0};
    };
    const TByteString before = d5(std::time(nullptr));
    const TByteString answer = Exchange(MakeFrame(0x01, 0x26), 10);
    const TByteString after = d5(std::time(nullptr));
    ASSERT_EQ(answer.size(), 10U);
    EXPECT_EQ(TByteString(answer.begin(), answer.begin() + 3), Hex("01 06 26"));
    const TByteString payload = Payload(answer);
    EXPECT_TRUE(payload == before || payload == after) << ::testing::PrintToString(payload);
}

TEST_F(EmulatorTest, IgnoresOtherAddressesBadChecksumsAndNoise)
{
    FEmulator.SetSerialNumber("777");
    // In one go: a command for register 2, the same command for this one
    // with a wrong checksum, noise, a server answer and at last the good
    // command. Only the last is answered.
    FClient.Write(Joined({Hex("02 00 1B E2"), Hex("01 00 1B E4"), Hex("FF 00 99 1B A0"), MakeFrame(0x01, 0x08, {0}),
                          Hex("01 00 1B E3")}));
    const TByteString expected = MakeFrame(0x01, 0x1B, Joined({Hex("37 37 37"), TByteString(10, 0x20)}));
    EXPECT_EQ(FClient.Read(expected.size()), expected);

    // Nothing else came: the next answer follows at once.
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x15), 6), MakeFrame(0x01, 0x15, {0, 0}));

    const std::vector<TReceivedFrame> frames = FEmulator.ReceivedFrames();
    ASSERT_EQ(frames.size(), 4U);
    EXPECT_EQ(frames[0].NetNumber, 2);
    EXPECT_FALSE(frames[0].ForThisRegister);
    EXPECT_EQ(frames[0].Message, 58);
    EXPECT_EQ(frames[1].Message, 33);  // the computer's answer, not a command: no reply
    EXPECT_TRUE(frames[1].ForThisRegister);
    EXPECT_EQ(frames[2].Bytes, Hex("01 00 1B E3"));
    EXPECT_EQ(FEmulator.SkippedByteCount(), 9U);
    EXPECT_TRUE(FEmulator.WaitForExchanges(2, LongWait));
    EXPECT_EQ(FEmulator.Exchanges().at(0).Request.Message, 58);
}

TEST_F(EmulatorTest, TakesAFrameThatArrivesByteByByte)
{
    for (const std::uint8_t byte : Hex("01 02 24 00 01 D7")) {
        FClient.Write({byte});
    }
    EXPECT_EQ(FClient.Read(42).size(), 42U);
}

// The client never configures the line: whatever it reads shows how the
// emulator left the slave. A cooked line would echo, translate CR and LF,
// act on the interrupt, suspend, flow-control and erase characters, and
// hold everything back until a line end.
TEST_F(EmulatorTest, LineIsRawWithoutTheClientSettingIt)
{
    const std::string barcode = {'\x03', '\x0D', '\x0A', '\x11', '\x13', '\x04', '\x1A',
                                 '\x7F', '\x1C', '\x15', '\x12', '\x17', '\x16'};
    const TByteString write = GoodsWrite(2, barcode, 0x0D0A0D0A, MilkDos(), 0x0A, 0x13110304);
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x25, write), 5), MakeFrame(0x01, 0x25, {0}));

    const std::optional<TGoodsRecord> stored = FEmulator.Goods(2);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->Barcode, barcode);
    EXPECT_EQ(stored->Price, 0x0D0A0D0AU);
    EXPECT_EQ(Exchange(MakeFrame(0x01, 0x24, {0, 2}), 42),
              MakeFrame(0x01, 0x24, TByteString(write.begin() + 2, write.end())));
    // No answer came back to the register as an echo.
    EXPECT_EQ(FEmulator.FrameCount(), 2U);
}

// The driver opens the line with an exclusive lock and closes it after
// every call: the emulator must neither lock it nor lose it on close.
TEST_F(EmulatorTest, ServesAClientThatOpensAndClosesTheLineAgainAndAgain)
{
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        TRawClient client(FEmulator.SlavePath());
        ASSERT_EQ(flock(client.Fd(), LOCK_EX | LOCK_NB), 0);
        client.Write(Hex("01 00 1B E3"));
        EXPECT_EQ(client.Read(17), Hex("01 0D 1B 31 32 33 34 35 36 37 38 39 20 20 20 20 79"));
    }
}

TEST(Emulator, StoppingHangsUpTheLineAndRemovesIt)
{
    std::optional<TEmulator> emulator(std::in_place);
    const TDeviceNode line(emulator->SlavePath());
    {
        TRawClient client(emulator->SlavePath());
        emulator.reset();
        EXPECT_TRUE(client.WaitForHangUp());
    }
    EXPECT_TRUE(line.Gone());
}

TEST(Emulator, KeepsTheTableAsTheLineWouldDeliverIt)
{
    TEmulator emulator;
    emulator.SetGoods(7, {"123  ", 1, std::string("Сметана деревенская 20%"_cp1251) + "  ", 0, 0});
    const std::optional<TGoodsRecord> stored = emulator.Goods(7);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->Barcode, "          123");
    EXPECT_EQ(stored->Name, std::string("Сметана деревенс"_cp1251));
    EXPECT_THROW(emulator.SetGoods(0, {}), std::out_of_range);
    EXPECT_THROW(emulator.SetGoods(4001, {}), std::out_of_range);
    EXPECT_THROW(emulator.SetNetNumber(100), std::out_of_range);
    emulator.EraseGoods(7);
    EXPECT_EQ(emulator.GoodsCount(), 0U);
}

// Tests change the table while the register serves the line.
TEST_F(EmulatorTest, TableMayChangeWhileServing)
{
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::uint32_t i = 0; !done; ++i) {
            FEmulator.SetGoods(static_cast<std::uint16_t>(2 + i % 100), Bread());
            FEmulator.ClearForcedStatus(48);
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(Exchange(Hex("01 02 24 00 01 D7"), 42).size(), 42U);
    }
    done = true;
    writer.join();
    EXPECT_TRUE(FEmulator.WaitForExchanges(50, LongWait));
}

}  // namespace
}  // namespace zarvik12m::emulator::testing
