#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "driver/platform/linux_support.h"
#include "driver/platform/wakeable_wait.h"
#include "tests/emulator/raw_client.h"
#include "tests/support/temp_directory.h"

extern char** environ;

namespace zarvik12m::emulator::testing {
namespace {

using zarvik12m::testing::ReadFileBytes;
using zarvik12m::testing::TTempDirectory;

const std::string ProgramPath = ZARVIK12M_EMULATOR_PATH;
const std::string ExampleFile = ZARVIK12M_SOURCE_DIR "/examples/goods.txt";

// zarvik12m-emulator as a child process: its standard output comes through
// a pipe, its standard error goes to a file.
class TProgram {
public:
    TProgram(const std::vector<std::string>& arguments, const std::filesystem::path& errorFile)
    {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            throw std::system_error(errno, std::generic_category(), "pipe2");
        }
        FOutput = pipeFds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> all = {ProgramPath};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int error = posix_spawn(&FPid, ProgramPath.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        static_cast<void>(::close(pipeFds[1]));
        if (error != 0) {
            throw std::system_error(error, std::generic_category(), "posix_spawn");
        }
    }

    ~TProgram()
    {
        if (FPid > 0) {
            static_cast<void>(::kill(FPid, SIGKILL));
            static_cast<void>(::waitpid(FPid, nullptr, 0));
        }
        static_cast<void>(::close(FOutput));
    }

    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // The next line of standard output, without its line end.
    std::optional<std::string> ReadLine()
    {
        while (true) {
            if (const std::size_t end = FBuffered.find('\n'); end != std::string::npos) {
                std::string line = FBuffered.substr(0, end);
                FBuffered.erase(0, end + 1);
                return line;
            }
            if (!ReadMore()) {
                return std::nullopt;
            }
        }
    }

    // Waits for the program to end by itself; its exit code, or -1 when it
    // did not end in time or ended through a signal.
    int WaitForExit()
    {
        while (ReadMore()) {
        }
        int status = 0;
        if (!FOutputClosed || ::waitpid(FPid, &status, 0) != FPid) {
            return -1;
        }
        FPid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Signal(int signal) { ASSERT_EQ(::kill(FPid, signal), 0); }

    [[nodiscard]] const std::string& Output() const { return FAll; }

private:
    bool ReadMore()
    {
        const TWakeableWait::TOutcome outcome =
            FWait.Wait(NativeFileOf(FOutput), TWakeableWait::rdReadable, TWakeableWait::TClock::now() + LongWait);
        if (!outcome.Ready && !outcome.HungUp) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::read(FOutput, buffer, sizeof buffer);
        if (got <= 0) {
            FOutputClosed = true;
            return false;
        }
        FBuffered.append(buffer, static_cast<std::size_t>(got));
        FAll.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t FPid = 0;
    int FOutput = -1;
    bool FOutputClosed = false;
    TWakeableWait FWait;  // never woken: waits for the output or the time
    std::string FBuffered;
    std::string FAll;
};

bool Exists(const std::filesystem::path& path)
{
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

std::size_t LineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ProgramTest : public ::testing::Test {
protected:
    std::filesystem::path File(const char* name) const { return FDirectory.Path() / name; }
    std::string ErrorOutput() const { return ReadFileBytes(File("stderr.txt")); }

    std::unique_ptr<TProgram> Start(const std::vector<std::string>& arguments)
    {
        auto program = std::make_unique<TProgram>(arguments, File("stderr.txt"));
        const std::optional<std::string> path = program->ReadLine();
        EXPECT_TRUE(path.has_value()) << ErrorOutput();
        FSlavePath = path.value_or("");
        return program;
    }

    TTempDirectory FDirectory;
    std::string FSlavePath;
};

class ProgramEndsOnSignal : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramEndsOnSignal, CleanlyWithNothingLeftBehind)
{
    const std::filesystem::path link = File("com1");
    auto program =
        Start({"--generate", "3", "--serial", "987", "--link", link.string(), "--save", File("saved.txt").string()});
    ASSERT_EQ(std::filesystem::read_symlink(link).string(), FSlavePath);
    const TDeviceNode line(FSlavePath);
    {
        TRawClient client(link.string());
        client.Write(Hex("01 00 1B E3"));
        EXPECT_EQ(client.Read(17), MakeFrame(0x01, 0x1B, Hex("39 38 37 20 20 20 20 20 20 20 20 20 20")));
        TByteString write = {0, 4};
        write.resize(40, '7');
        client.Write(MakeFrame(0x01, 0x25, write));
        EXPECT_EQ(client.Read(5), MakeFrame(0x01, 0x25, {0}));
    }
    program->Signal(GetParam());
    EXPECT_EQ(program->WaitForExit(), 0) << program->Output() << ErrorOutput();
    EXPECT_FALSE(Exists(link));
    EXPECT_TRUE(line.Gone());
    const std::string saved = ReadFileBytes(File("saved.txt"));
    EXPECT_EQ(LineCount(saved), 4U) << saved;
    EXPECT_NE(saved.find("   4;7777777777777;"), std::string::npos) << saved;
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramEndsOnSignal, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& testInfo) { return std::string(sigabbrev_np(testInfo.param)); });

TEST_F(ProgramTest, ServesTheExampleGoodsFile)
{
    auto program = Start({"--load", ExampleFile, "--net", "12"});
    {
        TRawClient client(FSlavePath);
        client.Write(MakeFrame(0x12, 0x24, {0, 1}));
        const TByteString found = client.Read(42);
        ASSERT_EQ(found.size(), 42U);
        // "Хлеб Бородинский" in the register's letters.
        EXPECT_EQ(TByteString(found.begin() + 20, found.begin() + 36),
                  Hex("95 AB A5 A1 20 81 AE E0 AE A4 A8 AD E1 AA A8 A9"));
        client.Write(MakeFrame(0x12, 0x24, {0x0F, 0xA0}));  // 4000
        EXPECT_EQ(client.Read(5), MakeFrame(0x12, 0x24, {7}));
    }
    program->Signal(SIGTERM);
    EXPECT_EQ(program->WaitForExit(), 0);
}

TEST_F(ProgramTest, FaultFlagsReachTheRegister)
{
    auto program =
        Start({"--garbage", "FF", "--duplicate", "--status", "58:4", "--trace=" + File("trace.txt").string()});
    {
        TRawClient client(FSlavePath);
        client.Write(Hex("01 00 1B E3"));
        const TByteString answer = MakeFrame(0x01, 0x1B, {4});
        EXPECT_EQ(client.Read(11), Joined({{0xFF}, answer, answer}));
    }
    program->Signal(SIGINT);
    EXPECT_EQ(program->WaitForExit(), 0);
    const std::string trace = ReadFileBytes(File("trace.txt"));
    EXPECT_NE(trace.find("RX 01 00 1B E3"), std::string::npos) << trace;
    EXPECT_NE(trace.find("TX FF 01 01 1B 04 DE 01 01 1B 04 DE"), std::string::npos) << trace;
}

TEST_F(ProgramTest, HangsUpAndEndsByItself)
{
    const std::filesystem::path link = File("com1");
    auto program = Start({"--hang-up-after", "1", "--link", link.string()});
    TRawClient client(link.string());
    client.Write(MakeFrame(0x01, 0x15));
    EXPECT_EQ(client.Read(6), MakeFrame(0x01, 0x15, {0, 0}));
    EXPECT_TRUE(client.WaitForHangUp());
    EXPECT_EQ(program->WaitForExit(), 0);
    EXPECT_FALSE(Exists(link));
}

TEST_F(ProgramTest, ReplacesAStaleLinkButNoOtherFile)
{
    const std::filesystem::path link = File("com1");
    std::filesystem::create_symlink("/dev/pts/nonexistent", link);
    auto program = Start({"--link", link.string()});
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), FSlavePath);
    program->Signal(SIGINT);
    EXPECT_EQ(program->WaitForExit(), 0);
    EXPECT_FALSE(Exists(link));

    zarvik12m::testing::WriteFileBytes(link, "data");
    TProgram refused({"--link", link.string()}, File("stderr.txt"));
    EXPECT_EQ(refused.WaitForExit(), 1);
    EXPECT_EQ(ReadFileBytes(link), "data");
}

TEST_F(ProgramTest, RefusesUnusableCommandLines)
{
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--net", "0"},
                                               {"--net", "1x"},
                                               {"--bogus"},
                                               {"--load", "x", "--generate", "1"},
                                               {"--status", "48"},
                                               {"--garbage", "F"},
                                               {"--serial", "12345678901234"},
                                               {"--chunks", "5"},
                                               {"--generate"}}) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        TProgram program(arguments, File("stderr.txt"));
        EXPECT_EQ(program.WaitForExit(), 2);
        EXPECT_EQ(program.Output(), "");
        EXPECT_NE(ErrorOutput().find("--help"), std::string::npos);
    }
    TProgram missingFile({"--load", File("missing.txt").string()}, File("stderr.txt"));
    EXPECT_EQ(missingFile.WaitForExit(), 1);
}

TEST_F(ProgramTest, HelpListsEveryFlag)
{
    TProgram program({"--help"}, File("stderr.txt"));
    EXPECT_EQ(program.WaitForExit(), 0);
    for (const char* flag :
         {"--net", "--serial", "--link", "--load", "--generate", "--save", "--separator", "--trace", "--never-answer",
          "--status", "--garbage", "--chunks", "--foreign", "--duplicate", "--delay", "--baud", "--hang-up-after"}) {
        EXPECT_NE(program.Output().find(flag), std::string::npos) << flag;
    }
    EXPECT_NE(program.Output().find("сетевой номер"), std::string::npos);  // UTF-8 on the console
}

}  // namespace
}  // namespace zarvik12m::emulator::testing
