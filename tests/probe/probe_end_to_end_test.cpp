// zarvik12m-probe as a user runs it, against an emulated register that
// understands its line only at 19200 baud and has network number 7.

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/platform/serial_device.h"
#include "driver/platform/system_error.h"
#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"

namespace zarvik12m {
namespace {

using testing::RunProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::TTempDirectory;

// Every line the register's trace wrote, kept for the test.
class TTraceLines {
public:
    void Add(const std::string& line)
    {
        const std::lock_guard lock(FLock);
        FLines.push_back(line);
    }

    std::vector<std::string> Lines() const
    {
        const std::lock_guard lock(FLock);
        return FLines;
    }

private:
    mutable std::mutex FLock;
    std::vector<std::string> FLines;
};

// The bytes of every "RX" line, understood by the register or garbled.
std::vector<std::uint8_t> ReceivedBytes(const std::vector<std::string>& trace)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string& line : trace) {
        const std::size_t start = line.find(" RX ");
        if (start == std::string::npos) {
            continue;
        }
        std::istringstream hex(line.substr(start + 4, line.find("  (") - start - 4));
        std::string byte;
        while (hex >> byte) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
        }
    }
    return bytes;
}

// Whether the bytes are command 58 frames (address, length 0, code 1B,
// checksum) and nothing else.
bool OnlySerialNumberQueries(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty() || bytes.size() % 4 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint8_t checksum = 0xFFU ^ static_cast<std::uint8_t>(bytes[i] + bytes[i + 1] + bytes[i + 2]);
        if (bytes[i + 1] != 0 || bytes[i + 2] != 0x1B || bytes[i + 3] != checksum) {
            return false;
        }
    }
    return true;
}

class ProbeEndToEnd : public ::testing::Test {
protected:
    static emulator::TEmulatorSettings Settings(TTraceLines& trace)
    {
        emulator::TEmulatorSettings settings;
        settings.NetNumber = 7;
        settings.LineBaudRate = 19200;
        settings.Goods = emulator::GenerateGoods(3);
        settings.Trace = [&trace](const std::string& line) { trace.Add(line); };
        return settings;
    }

    TProcessResult Probe(std::vector<std::string> arguments, bool onTerminal = false)
    {
        TProcessOptions options;
        options.OutputOnTerminal = onTerminal;
        options.Program = ZARVIK12M_PROBE_PATH;
        options.Arguments = std::move(arguments);
        options.WorkingDirectory = FDirectory.Path();
        options.Environment["LC_ALL"] = "C.UTF-8";
        return RunProcess(options);
    }

    TTempDirectory FDirectory;
    TTraceLines FTrace;  // outlives the emulator's thread, which writes it
    emulator::TEmulator FEmulator{Settings(FTrace)};
    const std::string FLine = FEmulator.SlavePath();
};

TEST_F(ProbeEndToEnd, AllNetsFindsTheRegisterAndTheCommandItPrintsReadsItsTable)
{
    const TProcessResult probe = Probe({"--device", FLine, "--all-nets"}, true);
    EXPECT_EQ(probe.ExitCode, 0) << probe.Output << probe.Errors;
    // On a terminal, each try shows itself on the progress line.
    EXPECT_NE(probe.Output.find("Опрос: " + FLine + ", 19200 бод, сетевой номер 7 "), std::string::npos);
    EXPECT_NE(probe.Output.find("ККМ найдена: " + FLine + ", 19200 бод, сетевой номер 7, заводской номер 12000001\n"),
              std::string::npos)
        << probe.Output;
    EXPECT_TRUE(OnlySerialNumberQueries(ReceivedBytes(FTrace.Lines()))) << ::testing::PrintToString(FTrace.Lines());
    EXPECT_GT(FEmulator.GarbledByteCount(), 0U) << "9600 baud came first";
    EXPECT_FALSE(std::filesystem::exists(FDirectory.Path() / "LogError.txt"));

    // "ZARVIK12M_COM1=<line> Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt", as
    // a shell would run it.
    const std::string prefix = "  ZARVIK12M_COM1=";
    const std::size_t start = probe.Output.find(prefix);
    ASSERT_NE(start, std::string::npos) << probe.Output;
    std::istringstream command(
        probe.Output.substr(start + prefix.size(), probe.Output.find('\n', start) - start - prefix.size()));
    std::string device;
    std::string program;
    command >> device >> program;
    EXPECT_EQ(device, FLine);
    EXPECT_EQ(program, "Zarvik12mPLU");
    std::vector<std::string> arguments;
    for (std::string argument; command >> argument;) {
        arguments.push_back(argument);
    }
    EXPECT_EQ(arguments, (std::vector<std::string>{"/p1", "/b19200", "/n7", "/s59", "/lplu.txt"}));
    TProcessOptions utility = testing::UtilityOptions(arguments, FDirectory.Path());
    utility.Environment["ZARVIK12M_COM1"] = device;
    const TProcessResult read = RunProcess(utility);
    EXPECT_EQ(read.ExitCode, 0) << read.Output << read.Errors;
    EXPECT_EQ(testing::ReadFileBytes(FDirectory.Path() / "plu.txt"),
              emulator::FormatPluText(FEmulator.GoodsTable(), ';'));
}

TEST_F(ProbeEndToEnd, WithoutAllNetsNothingIsFoundButTheOtherSpeedsAreTold)
{
    const TProcessResult probe = Probe({FLine});
    EXPECT_EQ(probe.ExitCode, 1) << probe.Output;
    EXPECT_EQ(probe.Output.find('\b'), std::string::npos) << "no progress line into a pipe";
    EXPECT_NE(probe.Output.find(FLine + ": что-то отвечает при другой настройке (9600 бод: нечитаемые байты, "),
              std::string::npos)
        << probe.Output;
    EXPECT_EQ(probe.Output.find("19200 бод:"), std::string::npos) << "19200 baud is silent at network number 1";
    EXPECT_NE(probe.Output.find("ККМ не найдена.\nПопробуйте другой сетевой номер (--all-nets)"), std::string::npos)
        << probe.Output;
    EXPECT_EQ(FEmulator.ExchangeCount(), 0U);
    EXPECT_TRUE(OnlySerialNumberQueries(ReceivedBytes(FTrace.Lines())));
}

TEST_F(ProbeEndToEnd, ABusyDeviceAndAMissingOneAreToldAndNothingIsSent)
{
    TSerialDevice holder;
    ASSERT_TRUE(holder.Open(FLine));
    const std::string missing = (FDirectory.Path() / "ttyUSB9").string();
    const TProcessResult probe = Probe({FLine, "--device", missing, "--all-nets"});
    EXPECT_EQ(probe.ExitCode, 1);
    EXPECT_NE(probe.Output.find(FLine + ": занято другой программой, пропущено\n"), std::string::npos) << probe.Output;
    EXPECT_NE(probe.Output.find(missing + ": нет такого устройства\n"), std::string::npos) << probe.Output;
    EXPECT_EQ(FEmulator.FrameCount() + FEmulator.GarbledByteCount(), 0U);

    EXPECT_EQ(Probe({FLine, "--net", "100"}).ExitCode, 2);
}

// The state comes from the kind of the failure; the system's own words
// are for --verbose, in the table and in the report.
TEST_F(ProbeEndToEnd, VerboseAddsTheSystemsWordsToTheStateOfTheKind)
{
    TSerialDevice holder;
    ASSERT_TRUE(holder.Open(FLine));
    const std::string missing = (FDirectory.Path() / "ttyUSB9").string();
    const std::string plain = (FDirectory.Path() / "plain.txt").string();
    testing::WriteFileBytes(plain, "not a line");
    const TProcessResult probe = Probe({FLine, "--device", missing, "--device", plain, "--verbose"});
    EXPECT_EQ(probe.ExitCode, 1);
    const auto words = [](int code) { return " (" + SystemErrorOf(code).Text + ")\n"; };
    EXPECT_NE(probe.Output.find(FLine + " | - | - | занято другой программой, пропущено" + words(EBUSY)),
              std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find(missing + ": нет такого устройства" + words(ENOENT)), std::string::npos)
        << probe.Output;
    EXPECT_NE(probe.Output.find(plain + ": не последовательный порт" + words(ENOTTY)), std::string::npos)
        << probe.Output;
    EXPECT_EQ(FEmulator.FrameCount() + FEmulator.GarbledByteCount(), 0U);
}

// A terminal's settings as a program on it would find them.
std::string SettingsOf(const std::string& path)
{
    const int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios line{};
    const bool read = handle >= 0 && ::tcgetattr(handle, &line) == 0;
    if (handle >= 0) {
        ::close(handle);
    }
    return read ? std::string(reinterpret_cast<const char*>(&line), sizeof line)  // NOLINT: the bytes compared
                : std::string();
}

TEST_F(ProbeEndToEnd, EveryLineGetsItsSettingsBackAndAnotherProgramsTerminalIsLeftAlone)
{
    const std::string before = SettingsOf(FLine);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(Probe({"--device", FLine, "--all-nets"}).ExitCode, 0);
    EXPECT_EQ(SettingsOf(FLine), before) << "the probed line is left as it was found";

    // A terminal that a shell works on: its session's controlling terminal.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    char name[128] = {};
    ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);
    const std::string terminal = name;
    int ready[2];
    int done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t shell = ::fork();
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        ::close(ready[0]);
        ::close(done[1]);
        char byte = 0;
        if (::setsid() >= 0 && ::open(name, O_RDWR) >= 0) {  // becomes the session's terminal
            static_cast<void>(::write(ready[1], "r", 1));
            static_cast<void>(::read(done[0], &byte, 1));
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const std::string shellSettings = SettingsOf(terminal);
    const TProcessResult probe = Probe({"--device", terminal});
    EXPECT_NE(probe.Output.find(terminal + ": занято другой программой, пропущено\n"), std::string::npos)
        << probe.Output;
    EXPECT_EQ(SettingsOf(terminal), shellSettings);
    ::close(done[1]);
    ::close(ready[0]);
    int status = 0;
    ::waitpid(shell, &status, 0);
    ::close(master);
}

}  // namespace
}  // namespace zarvik12m
