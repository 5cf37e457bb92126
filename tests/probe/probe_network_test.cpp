// zarvik12m-probe on a register reached over the network through ser2net:
// a register that understands its line only at 19200 baud, network number 7.

#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_directory.h"
#include "tests/utility/support/ser2net.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_generator.h"

namespace zarvik12m {
namespace {

using testing::RunProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::TSer2net;
using testing::TTempDirectory;

class ProbeOverTheNetwork : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TSer2net::Installed()) {
            std::cerr << "\n*** ser2net is not installed: the probe over the network is NOT tested ***\n\n";
            GTEST_SKIP() << "ser2net is not installed";
        }
        // The converter's own line runs at the register's speed.
        FSer2net = std::make_unique<TSer2net>(FEmulator.SlavePath(), 19200);
    }

    static emulator::TEmulatorSettings Settings()
    {
        emulator::TEmulatorSettings settings;
        settings.NetNumber = 7;
        settings.LineBaudRate = 19200;
        settings.Goods = emulator::GenerateGoods(3);
        return settings;
    }

    TProcessResult Probe(std::vector<std::string> arguments)
    {
        TProcessOptions options;
        options.Program = ZARVIK12M_PROBE_PATH;
        options.Arguments = std::move(arguments);
        options.WorkingDirectory = FDirectory.Path();
        options.Environment["LC_ALL"] = "C.UTF-8";
        return RunProcess(options);
    }

    TTempDirectory FDirectory;
    emulator::TEmulator FEmulator{Settings()};
    std::unique_ptr<TSer2net> FSer2net;
};

TEST_F(ProbeOverTheNetwork, TelnetScansTheSpeedsAndTheCommandLineUsesTheAddress)
{
    const std::string address = FSer2net->Rfc2217Address();
    const TProcessResult probe = Probe({address, "--all-nets"});
    EXPECT_EQ(probe.ExitCode, 0) << probe.Output << probe.Errors;
    EXPECT_NE(probe.Output.find("ККМ найдена: " + address + ", 19200 бод, сетевой номер 7, заводской номер 12000001\n"),
              std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find("  ZARVIK12M_COM1=" + address + " Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt\n"),
              std::string::npos)
        << probe.Output;
    EXPECT_GT(FEmulator.GarbledByteCount(), 0U) << "9600 baud came first and reached the line";
}

TEST_F(ProbeOverTheNetwork, RawTcpAsksNetworkNumbersOnlyAndSaysTheConverterSetsTheSpeed)
{
    const std::string address = FSer2net->RawAddress();
    const TProcessResult probe = Probe({address, "--all-nets", "--verbose"});
    EXPECT_EQ(probe.ExitCode, 0) << probe.Output << probe.Errors;
    EXPECT_NE(probe.Output.find("ККМ найдена: " + address + ", 9600 бод, сетевой номер 7"), std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find("  ZARVIK12M_COM1=" + address + " Zarvik12mPLU /p1 /b9600 /n7 "), std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find("скорость линии задаёт преобразователь: она должна совпадать со скоростью ККМ"),
              std::string::npos)
        << probe.Output;
    // One speed in the table of tries; the line never saw a wrong speed.
    EXPECT_EQ(probe.Output.find(address + " | 19200 |"), std::string::npos) << probe.Output;
    EXPECT_EQ(FEmulator.GarbledByteCount(), 0U);
}

TEST_F(ProbeOverTheNetwork, AnAddressNobodyAnswersIsAFailureNamingItNotABusyDevice)
{
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort());
    const TProcessResult probe = Probe({address, "--net", "7"});
    EXPECT_EQ(probe.ExitCode, 1) << probe.Output << probe.Errors;
    EXPECT_NE(
        probe.Output.find(address + ": ошибка: [COM1] Ошибка открытия порта: Не могу открыть порт \"" + address + "\""),
        std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find("ККМ не найдена."), std::string::npos) << probe.Output;
    // Why the connection failed is the system's to say, and only verbose.
    EXPECT_EQ(probe.Output.find("(Connection refused)"), std::string::npos) << probe.Output;
    const TProcessResult verbose = Probe({address, "--net", "7", "--verbose"});
    EXPECT_NE(verbose.Output.find(address + "\" (Connection refused)\n"), std::string::npos) << verbose.Output;
}

}  // namespace
}  // namespace zarvik12m
