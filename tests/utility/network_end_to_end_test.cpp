// Zarvik12mPLU reaching the emulated register over the network, through
// Debian's ser2net serving the register's pseudo-terminal: raw TCP
// (tcp://) and Telnet with Com Port Control (rfc2217://), as in a shop
// whose register hangs on a serial-to-Ethernet converter.

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_directory.h"
#include "tests/utility/support/child_process.h"
#include "tests/utility/support/ser2net.h"
#include "tests/utility/support/utility_on_register.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"

namespace zarvik12m {
namespace {

using testing::AsDelivered;
using testing::ReadFileBytes;
using testing::RunUtility;
using testing::TChildProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::TSer2net;
using testing::UtilityOnRegister;
using testing::UtilityOptions;
using testing::UtilitySuccess;

const std::string& Success = UtilitySuccess;

class NetworkEndToEnd : public UtilityOnRegister {
protected:
    void SetUp() override
    {
        if (!TSer2net::Installed()) {
            std::cerr << "\n*** ser2net is not installed (scripts/install-dependencies.sh): the network lines are NOT "
                         "tested ***\n\n";
            GTEST_SKIP() << "ser2net is not installed";
        }
        FSer2net = std::make_unique<TSer2net>(FRegister.Emulator.SlavePath());
    }

    // The utility with COM port 1 at the address (the pseudo-terminal
    // itself when it is empty).
    TProcessOptions Options(std::vector<std::string> arguments, const std::string& address) const
    {
        TProcessOptions options = UtilityOptions(std::move(arguments), FDirectory.Path());
        if (!address.empty()) {
            options.Environment["ZARVIK12M_COM1"] = address;
        }
        return options;
    }

    TProcessResult Run(std::vector<std::string> arguments, const std::string& address) const
    {
        return RunUtility(Options(std::move(arguments), address));
    }

    std::unique_ptr<TSer2net> FSer2net;
};

TEST_F(NetworkEndToEnd, AFullTableReadsTheSameOverRawTcpAndTelnetAsOnTheLine)
{
    const emulator::TGoodsTable table = AsDelivered(emulator::GenerateGoods(emulator::MaxGoodsNumber));
    FEmulator.SetGoodsTable(table);
    const TProcessResult local = Run({"/p1", "/b115200", "/n1", "/s59", "/llocal.txt"}, "");
    ASSERT_EQ(local.ExitCode, 0) << local.Output;
    const std::string expected = ReadFileBytes(Path("local.txt"));
    EXPECT_EQ(expected, emulator::FormatPluText(table, ';'));

    const TProcessResult raw = Run({"/p1", "/b115200", "/n1", "/s59", "/lraw.txt"}, FSer2net->RawAddress());
    EXPECT_EQ(raw.ExitCode, 0) << raw.Output;
    EXPECT_TRUE(raw.Output.ends_with(Success)) << raw.Output;
    EXPECT_EQ(ReadFileBytes(Path("raw.txt")), expected);

    const TProcessResult telnet = Run({"/p1", "/b115200", "/n1", "/s59", "/ltelnet.txt"}, FSer2net->Rfc2217Address());
    EXPECT_EQ(telnet.ExitCode, 0) << telnet.Output;
    EXPECT_TRUE(telnet.Output.ends_with(Success)) << telnet.Output;
    EXPECT_EQ(ReadFileBytes(Path("telnet.txt")), expected);
}

// Prices and quantities whose bytes are 0xFF, the Telnet escape, with the
// low byte of the price running through every value, so that the frames'
// checksums take every value too.
TEST_F(NetworkEndToEnd, BytesOfAllOnesReadAndWriteBackExactlyThroughTelnet)
{
    emulator::TGoodsTable table = emulator::GenerateGoods(256);
    std::uint32_t low = 0;
    for (auto& [number, record] : table) {
        record.Price = 0x00FFFF00U | low++;
        record.Quantity = 0x0000FFFFU;
    }
    table = AsDelivered(table);
    FEmulator.SetGoodsTable(table);
    const std::string address = FSer2net->Rfc2217Address();
    const TProcessResult read = Run({"/p1", "/b115200", "/n1", "/s59", "/lplu.txt"}, address);
    ASSERT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), emulator::FormatPluText(table, ';'));

    FEmulator.ClearGoods();
    const TProcessResult written = Run({"/p1", "/b115200", "/n1", "/s59", "/wplu.txt"}, address);
    EXPECT_EQ(written.ExitCode, 0) << written.Output;
    EXPECT_EQ(FEmulator.GoodsTable(), table);
}

// The register understands only 19200 baud: the rate the driver asks for
// must reach the line through the server.
TEST_F(NetworkEndToEnd, TheRateTravelsToTheLineThroughTelnet)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(5));
    FEmulator.SetLineBaudRate(19200);
    const std::string address = FSer2net->Rfc2217Address();
    const TProcessResult right = Run({"/p1", "/b19200", "/n1", "/s59", "/lright.txt"}, address);
    EXPECT_EQ(right.ExitCode, 0) << right.Output;

    const TProcessResult wrong = Run({"/p1", "/b9600", "/n1", "/s59", "/lwrong.txt"}, address);
    EXPECT_EQ(wrong.ExitCode, 1) << wrong.Output;
    EXPECT_NE(wrong.Output.find("[COM1 NetNum1] Команда не выполнилась"), std::string::npos) << wrong.Output;
    EXPECT_GT(FEmulator.GarbledByteCount(), 0U);
}

TEST_F(NetworkEndToEnd, ServerGoneInTheMiddleOfAReadLeavesTheOldFileAlone)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(400));
    const std::string old = "old contents\n";
    {
        std::ofstream file(Path("plu.txt"), std::ios::binary);
        file << old;
    }
    FRegister.Hold.Arm(100);
    TChildProcess utility(Options({"/p1", "/b115200", "/n1", "/s59", "/lplu.txt"}, FSer2net->Rfc2217Address()));
    ASSERT_TRUE(FRegister.Hold.WaitUntilHeld()) << FEmulator.FrameCount() << utility.Finish().Output;
    FSer2net->Kill();
    FRegister.Hold.Release();
    const TProcessResult result = utility.Finish();
    EXPECT_EQ(result.ExitCode, 1) << result.Output;
    EXPECT_NE(result.Output.find("[COM1 NetNum1] Команда не выполнилась"), std::string::npos) << result.Output;
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), old);
}

// A Telnet client at a port that speaks no Telnet: nobody answers the
// negotiation, and the line settings fail once their time is up.
TEST_F(NetworkEndToEnd, AServerThatNeverNegotiatesFailsTheLineSettings)
{
    const std::string address = "rfc2217://" + FSer2net->RawAddress().substr(std::string("tcp://").size());
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/c"}, address);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\n[COM1] Ошибка открытия порта: Не могу установить параметры\n"))
        << result.Output;
}

TEST_F(NetworkEndToEnd, AClosedPortIsNamedInTheError)
{
    const std::string address = "tcp://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort());
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/c"}, address);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\n[COM1] Ошибка открытия порта: Не могу открыть порт \"" + address + "\"\n"))
        << result.Output;
    EXPECT_NE(ReadFileBytes(Path("LogError.txt")).find(" [ErrorCode-110] "), std::string::npos);
}

}  // namespace
}  // namespace zarvik12m
