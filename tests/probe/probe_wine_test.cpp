// zarvik12m-probe.exe under Wine as a Windows user runs it, without
// arguments: it finds the emulated register among the COM ports of the
// system's serial device map (the prefix's COM7, mapped in its registry to
// the emulator's line), and the cmd command it prints reads the register's
// table with Zarvik12mPLU.exe.

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"

namespace zarvik12m {
namespace {

using testing::RunUtility;
using testing::TProcessOptions;
using testing::TProcessResult;

TEST(ProbeUnderWine, FindsTheRegisterOnAMappedComPortAndItsCommandReadsTheTable)
{
    ASSERT_TRUE(testing::UtilityRunsUnderWine()) << "run with ZARVIK12M_TEST_WINDOWS_UTILITY (ctest -L wine)";
    emulator::TEmulatorSettings settings;
    settings.LineBaudRate = 19200;  // 9600, the first speed tried, garbles
    settings.Goods = emulator::GenerateGoods(3);
    emulator::TEmulator register7(settings);
    const testing::TWineMappedPort mapped(register7.SlavePath());
    const testing::TTempDirectory directory;

    // The probe runs as the utility does, and its output is read alike.
    TProcessOptions probe = testing::UtilityOptions({}, directory.Path());
    probe.Arguments.front() = ZARVIK12M_WINDOWS_PROBE;
    const TProcessResult found = RunUtility(probe);
    EXPECT_EQ(found.ExitCode, 0) << found.Output << found.Errors;
    EXPECT_NE(found.Output.find("ККМ найдена: COM7, 19200 бод, сетевой номер 1, заводской номер 12000001\n"),
              std::string::npos)
        << found.Output;

    const std::string prefix = "\n  Zarvik12mPLU ";
    const std::size_t start = found.Output.find(prefix);
    ASSERT_NE(start, std::string::npos) << found.Output;
    std::istringstream command(
        found.Output.substr(start + prefix.size(), found.Output.find('\n', start + 1) - start - prefix.size()));
    std::vector<std::string> arguments;
    for (std::string argument; command >> argument;) {
        arguments.push_back(argument);
    }
    EXPECT_EQ(arguments, (std::vector<std::string>{"/p7", "/b19200", "/n1", "/s59", "/lplu.txt"}));
    const TProcessResult read = RunUtility(testing::UtilityOptions(arguments, directory.Path()));
    EXPECT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_EQ(testing::ReadFileBytes(directory.Path() / "plu.txt"),
              emulator::FormatPluText(register7.GoodsTable(), ';'));
}

}  // namespace
}  // namespace zarvik12m
