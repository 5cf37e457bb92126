// Zarvik12mPLU as a user runs it: the built program with the built
// libzarvik12m.so, against an emulated register on a pseudo-terminal named
// by ZARVIK12M_COM1, as on a machine with a real register.

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tests/support/register_on_port.h"
#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_on_register.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"

namespace zarvik12m {
namespace {

using testing::AsDelivered;
using testing::ReadFileBytes;
using testing::RunProcess;
using testing::RunUtility;
using testing::SplitProgressBars;
using testing::TChildProcess;
using testing::TProcessResult;
using testing::TRegisterOnPort;
using testing::TTempDirectory;
using testing::UtilityOnRegister;
using testing::UtilityOptions;
using testing::UtilitySuccess;

const std::string& Success = UtilitySuccess;
const char* const Separator = "/s59";

std::string DarkBar()
{
    std::string bar;
    for (int i = 0; i < 60; ++i) {
        bar += "▓";
    }
    return bar;
}

class UtilityEndToEnd : public UtilityOnRegister {};

TEST_F(UtilityEndToEnd, ReadingAndWritingBackLeaveTheTableAsItWas)
{
    const emulator::TGoodsTable table = emulator::LoadPluFile(ZARVIK12M_SOURCE_DIR "/examples/goods.txt", ';').Goods;
    ASSERT_FALSE(table.empty());
    FEmulator.SetGoodsTable(table);

    const TProcessResult read = Run({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"});
    EXPECT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_TRUE(read.Output.ends_with(Success)) << read.Output;
    // The file is what the register holds, in the PLU file's own format.
    ASSERT_EQ(AsDelivered(table), table) << "the sample goods survive the line";
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), emulator::FormatPluText(table, ';'));

    FEmulator.ClearGoods();
    const TProcessResult written = Run({"/p1", "/b115200", "/n1", Separator, "/wplu.txt"});
    EXPECT_EQ(written.ExitCode, 0) << written.Output;
    EXPECT_EQ(FEmulator.GoodsTable(), table);
}

TEST_F(UtilityEndToEnd, AFullTableIsReadWhole)
{
    const emulator::TGoodsTable table = AsDelivered(emulator::GenerateGoods(emulator::MaxGoodsNumber));
    FEmulator.SetGoodsTable(table);
    const TProcessResult read = Run({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"});
    EXPECT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_TRUE(read.Output.ends_with(Success)) << read.Output;
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), emulator::FormatPluText(table, ';'));
}

TEST(UtilityEndToEndOnAHighPort, PortTenAndAboveAreOpened)
{
    const TTempDirectory directory;
    TRegisterOnPort onPort(10);
    onPort.Emulator.SetGoodsTable(emulator::GenerateGoods(5));
    const TProcessResult result = RunUtility(UtilityOptions({"/p10", "/b115200", "/n1", "/c"}, directory.Path()));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_EQ(onPort.Emulator.GoodsCount(), 0U);
}

TEST_F(UtilityEndToEnd, AnAbsolutePathHoldingEverySwitchLetterIsOnlyAFileName)
{
    const emulator::TGoodsTable table = emulator::GenerateGoods(5);
    FEmulator.SetGoodsTable(table);
    const std::filesystem::path folder = Path("p") / "b" / "n" / "s" / "l" / "w" / "c";
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "plu.txt").string();
    ASSERT_TRUE(file.starts_with("/"));
    // The file first, so that its slashes come before the switches proper.
    const TProcessResult read = Run({"/l" + file, "/p1", "/b115200", "/n1", Separator});
    EXPECT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_EQ(ReadFileBytes(file), emulator::FormatPluText(AsDelivered(table), ';'));

    FEmulator.ClearGoods();
    const TProcessResult written = Run({"/w" + file, "/p1", "/b115200", "/n1", Separator});
    EXPECT_EQ(written.ExitCode, 0) << written.Output;
    EXPECT_EQ(FEmulator.GoodsTable(), AsDelivered(table));
}

TEST_F(UtilityEndToEnd, AFullTableFillsTheBarOnATerminalAndNoBarGoesToAPipe)
{
    const emulator::TGoodsTable table = emulator::GenerateGoods(4000);
    FEmulator.SetGoodsTable(table);
    // The answer to the last read waits until the bar shows all 4000 steps.
    FRegister.Hold.Arm(4000);
    testing::TProcessOptions options =
        UtilityOptions({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"}, FDirectory.Path());
    options.OutputOnTerminal = true;
    TChildProcess child(options);
    const std::string fullDrawing = DarkBar() + std::string(60, '\b');
    EXPECT_TRUE(child.WaitForOutput([&](std::string_view output) { return output.find(fullDrawing) != output.npos; }))
        << child.Output().substr(0, 400);
    FRegister.Hold.Release();
    const TProcessResult result = child.Finish();
    EXPECT_EQ(result.ExitCode, 0);
    const testing::TConsoleOutput console = SplitProgressBars(result.Output, 3);
    ASSERT_FALSE(console.Bars.empty());
    EXPECT_EQ(console.Bars.back(), DarkBar());
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), emulator::FormatPluText(AsDelivered(table), ';'));

    // Redirected, the same read held half-way, where a terminal would have
    // had many drawings: only the messages come.
    FRegister.Hold.Arm(FEmulator.FrameCount() + 2000);
    options.OutputOnTerminal = false;
    TChildProcess redirected(options);
    EXPECT_TRUE(FRegister.Hold.WaitUntilHeld());
    FRegister.Hold.Release();
    const TProcessResult piped = redirected.Finish();
    EXPECT_EQ(piped.ExitCode, 0);
    EXPECT_TRUE(piped.Output.ends_with("\nЧтение PLU\n" + Success)) << piped.Output;
    EXPECT_EQ(piped.Output.find_first_of("\b\xE2"), std::string::npos) << piped.Output;
}

TEST_F(UtilityEndToEnd, AUtf8FileReachesTheRegisterAsTheSameFileInWindows1251)
{
    emulator::TGoodsTable table;
    table[1] = {"4600000000017", 890000, std::string("Молоко «Ёлочка»"_cp1251), 1, 1000};
    table[2] = {"4600000000024", 4500000, std::string("Сыр №5 ёмкий"_cp1251), 2, 500};
    table[3] = {"4600000000031", 1200000, std::string("Чай зелёный 100г"_cp1251), 3, 1000};  // 16 letters
    const std::string windows = emulator::FormatPluText(table, ';');
    const struct {
        const char* Name;
        std::string Content;
    } files[] = {
        {"cp1251.txt", windows},
        {"utf8.txt", Cp1251ToUtf8(windows)},
        {"bom.txt", "\xEF\xBB\xBF" + Cp1251ToUtf8(windows)},
    };
    std::vector<std::vector<emulator::TBytes>> writes;
    for (const auto& file : files) {
        testing::WriteFileBytes(Path(file.Name), file.Content);
        FEmulator.ClearHistory();
        const TProcessResult result = Run({"/p1", "/b115200", "/n1", Separator, std::string("/w") + file.Name});
        EXPECT_EQ(result.ExitCode, 0) << file.Name << result.Output;
        // The Windows-1251 file is taken byte for byte.
        EXPECT_EQ(FEmulator.GoodsTable(), AsDelivered(table)) << file.Name;
        writes.emplace_back();
        for (const emulator::TReceivedFrame& frame : FEmulator.ReceivedFrames()) {
            EXPECT_EQ(frame.Message, 49) << file.Name;
            writes.back().push_back(frame.Bytes);
        }
    }
    EXPECT_EQ(writes[0].size(), 3U);
    EXPECT_EQ(writes[1], writes[0]);
    EXPECT_EQ(writes[2], writes[0]);
}

TEST_F(UtilityEndToEnd, CtrlCStopsTheReadAfterTheCommandInFlight)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(4000));
    FRegister.Hold.Arm(1000);
    TChildProcess child(UtilityOptions({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"}, FDirectory.Path()));
    ASSERT_TRUE(FRegister.Hold.WaitUntilHeld());
    ASSERT_EQ(::kill(child.Id(), SIGINT), 0);
    // The stop has been asked for once the utility lets go of the signal.
    ASSERT_TRUE(child.WaitForDefaultHandling(SIGINT));
    FRegister.Hold.Release();
    const TProcessResult result = child.Finish();
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\nЧтение PLU\n\nОперация была прервана пользователем\n")) << result.Output;
    EXPECT_FALSE(std::filesystem::exists(Path("plu.txt")));
    // The read in flight was answered, and nothing came after it.
    EXPECT_EQ(FEmulator.ExchangeCount(), 1000U);
    EXPECT_EQ(FEmulator.FrameCount(), 1000U);
}

TEST_F(UtilityEndToEnd, ASecondSignalEndsTheRunAtOnce)
{
    const emulator::TGoodsTable table = emulator::GenerateGoods(10);
    testing::WriteFileBytes(Path("plu.txt"), emulator::FormatPluText(table, ';'));
    FRegister.Hold.Arm(5);
    TChildProcess writing(UtilityOptions({"/p1", "/b115200", "/n1", Separator, "/wplu.txt"}, FDirectory.Path()));
    ASSERT_TRUE(FRegister.Hold.WaitUntilHeld());
    ASSERT_EQ(::kill(writing.Id(), SIGTERM), 0);
    ASSERT_TRUE(writing.WaitForDefaultHandling(SIGINT));
    ASSERT_EQ(::kill(writing.Id(), SIGINT), 0);
    EXPECT_EQ(writing.Finish().Signal, SIGINT);  // which a shell shows as exit code 130
    FRegister.Hold.Release();
    EXPECT_EQ(FEmulator.FrameCount(), 5U);
}

TEST_F(UtilityEndToEnd, CtrlCLetsTheClearingComplete)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(10));
    FRegister.Hold.Arm(1);
    TChildProcess clearing(UtilityOptions({"/p1", "/b115200", "/n1", "/c"}, FDirectory.Path()));
    ASSERT_TRUE(FRegister.Hold.WaitUntilHeld());
    ASSERT_EQ(::kill(clearing.Id(), SIGINT), 0);
    ASSERT_TRUE(clearing.WaitForDefaultHandling(SIGINT));
    FRegister.Hold.Release();
    const TProcessResult cleared = clearing.Finish();
    EXPECT_EQ(cleared.ExitCode, 0) << cleared.Output;
    EXPECT_EQ(FEmulator.GoodsCount(), 0U);
}

TEST_F(UtilityEndToEnd, TheRegistersRefusalIsToldAndNoFileIsMade)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    FEmulator.SetForcedStatus(48, 14);
    const TProcessResult result = Run({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(SplitProgressBars(result.Output, 3).Text.ends_with("\nОшибка ККМ: Нет бумаги\n")) << result.Output;
    EXPECT_FALSE(std::filesystem::exists(Path("plu.txt")));
}

TEST_F(UtilityEndToEnd, ClearEmptiesTheTable)
{
    FEmulator.SetGoodsTable(emulator::GenerateGoods(10));
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/c"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(result.Output.ends_with("\nОчистка PLU\n" + Success)) << result.Output;
    EXPECT_EQ(FEmulator.GoodsCount(), 0U);
}

TEST_F(UtilityEndToEnd, AnotherNetworkNumberGetsNoAnswer)
{
    // The register is number 1; nobody answers number 2.
    const TProcessResult result = Run({"/p1", "/b115200", "/n2", "/c"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\nОчистка PLU\n\n[COM1 NetNum2] Команда не выполнилась\n")) << result.Output;
}

// A user who, unlike root, may not write every file: the one running the
// tests, or else nobody, through setpriv (util-linux).
struct TUnprivilegedUser {
    uid_t User = 0;
    gid_t Group = 0;
    // Where the tests run as root: setpriv and its arguments.
    std::vector<std::string> Prefix;
};

std::optional<TUnprivilegedUser> UnprivilegedUser(std::string& whyNot)
{
    if (::geteuid() != 0) {
        return TUnprivilegedUser{::geteuid(), ::getegid(), {}};
    }
    const passwd* nobody = ::getpwnam("nobody");  // NOLINT(concurrency-mt-unsafe): one thread asks
    const std::filesystem::path setpriv = "/usr/bin/setpriv";
    if (nobody == nullptr || !std::filesystem::exists(setpriv)) {
        whyNot =
            "the tests run as root, who may write any file, and there is no setpriv or no user nobody to run "
            "the utility as";
        return std::nullopt;
    }
    return TUnprivilegedUser{nobody->pw_uid,
                             nobody->pw_gid,
                             {setpriv.string(), "--reuid=" + std::to_string(nobody->pw_uid),
                              "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"}};
}

TEST_F(UtilityEndToEnd, ReadingKeepsTheFilesModeOwnerAndProtection)
{
    std::string whyNot;
    const std::optional<TUnprivilegedUser> user = UnprivilegedUser(whyNot);
    if (!user) {
        GTEST_SKIP() << whyNot;
    }
    const auto runAs = [&](const TUnprivilegedUser& who, const std::filesystem::path& file) {
        testing::TProcessOptions options =
            UtilityOptions({"/p1", "/b115200", "/n1", Separator, "/l" + file.string()}, FDirectory.Path());
        if (!who.Prefix.empty()) {
            options.Arguments.insert(options.Arguments.begin(), options.Program.string());
            options.Arguments.insert(options.Arguments.begin(), who.Prefix.begin() + 1, who.Prefix.end());
            options.Program = who.Prefix.front();
        }
        return RunProcess(options);
    };
    const auto make = [](const std::filesystem::path& path, mode_t mode, uid_t owner, gid_t group) {
        if (!std::filesystem::exists(path)) {
            testing::WriteFileBytes(path, "previous");
        }
        EXPECT_EQ(::chown(path.c_str(), owner, group), 0) << path;
        EXPECT_EQ(::chmod(path.c_str(), mode), 0) << path;
    };
    const auto statusOf = [](const std::filesystem::path& path) {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
        return status;
    };
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    const std::string fresh = emulator::FormatPluText(AsDelivered(emulator::GenerateGoods(3)), ';');
    ASSERT_EQ(::chmod(FEmulator.SlavePath().c_str(), 0666), 0);
    const std::filesystem::path own = Path("own");
    const std::filesystem::path shared = Path("shared");
    std::filesystem::create_directory(own);
    std::filesystem::create_directory(shared);
    make(FDirectory.Path(), 0755, ::geteuid(), ::getegid());
    make(own, 0755, user->User, user->Group);
    if (const TProcessResult probe = runAs(*user, own / "probe.txt"); probe.ExitCode != 0) {
        GTEST_SKIP() << "the user " << user->User << " cannot run the built utility here: " << probe.Output
                     << probe.Errors;
    }
    std::filesystem::remove(own / "probe.txt");

    // Files the user may not write stay as they are, although the folder
    // would let them be replaced.
    make(own / "read-only.txt", 0444, user->User, user->Group);
    if (!user->Prefix.empty()) {
        make(own / "another's.txt", 0644, 0, 0);
    }
    for (const auto& entry : std::filesystem::directory_iterator(own)) {
        const TProcessResult refused = runAs(*user, entry.path());
        EXPECT_EQ(refused.ExitCode, 1) << entry.path();
        EXPECT_TRUE(refused.Output.ends_with("\nFile access denied\n")) << refused.Output;
        EXPECT_EQ(ReadFileBytes(entry.path()), "previous");
    }
    // A file the user may write in a folder the user may not: written in
    // place, the same file with the same owner.
    make(shared / "shared.txt", 0666, ::geteuid(), ::getegid());
    make(shared, 0555, ::geteuid(), ::getegid());
    const ino_t before = statusOf(shared / "shared.txt").st_ino;
    EXPECT_EQ(runAs(*user, shared / "shared.txt").ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(shared / "shared.txt"), fresh);
    EXPECT_EQ(statusOf(shared / "shared.txt").st_ino, before);
    // Root, who may, gives the new file the old one's owner and group as
    // well as its mode.
    if (!user->Prefix.empty()) {
        make(Path("nobody's.txt"), 0604, user->User, user->Group);
        EXPECT_EQ(runAs({}, Path("nobody's.txt")).ExitCode, 0);
        const struct stat replaced = statusOf(Path("nobody's.txt"));
        EXPECT_EQ(ReadFileBytes(Path("nobody's.txt")), fresh);
        EXPECT_EQ(replaced.st_uid, user->User);
        EXPECT_EQ(replaced.st_gid, user->Group);
        EXPECT_EQ(replaced.st_mode & 07777, 0604U);
    }
    // No temporary file is left anywhere.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(FDirectory.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".txt."), std::string::npos) << entry.path();
    }
}

TEST(UtilityEndToEndThroughAVariable, PortOnesVariableNamesAnotherDevice)
{
    // Port 1 opens what ZARVIK12M_COM1 names: under Wine the COM7 that the
    // prefix's registry maps (to the emulator's line here), on Linux the
    // line's file.
    const TTempDirectory directory;
    emulator::TEmulator register7;
    register7.SetGoodsTable(emulator::GenerateGoods(7));
    const testing::TWineMappedPort mapped(register7.SlavePath());
    testing::TProcessOptions options =
        UtilityOptions({"/p1", "/b115200", "/n1", Separator, "/lplu.txt"}, directory.Path());
    options.Environment["ZARVIK12M_COM1"] =
        testing::UtilityRunsUnderWine() ? "COM" + std::to_string(testing::WineMappedPort) : register7.SlavePath();
    const TProcessResult read = RunUtility(options);
    EXPECT_EQ(read.ExitCode, 0) << read.Output;
    EXPECT_TRUE(read.Output.ends_with(Success)) << read.Output;
    EXPECT_EQ(ReadFileBytes(directory.Path() / "plu.txt"),
              emulator::FormatPluText(AsDelivered(register7.GoodsTable()), ';'));
}

TEST(UtilityEndToEndWithoutRegister, AMissingDeviceIsNamedInTheError)
{
    const TTempDirectory directory;
    // Port 6: no /dev/ttyS5 either, where Wine looks when the link leads
    // nowhere.
    const testing::TPortVariable variable(6, "/nonexistent/ttyZARVIK");
    const TProcessResult result = RunUtility(UtilityOptions({"/p6", "/b9600", "/n1", "/c"}, directory.Path()));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\n[COM6] Ошибка открытия порта: Не могу открыть порт \"" +
                                        testing::ShownDeviceName(6, "/nonexistent/ttyZARVIK") + "\"\n"))
        << result.Output;
    // The error is in the log of the folder the utility ran in.
    EXPECT_NE(ReadFileBytes(directory.Path() / "LogError.txt").find(" [ErrorCode-110] "), std::string::npos);
}

}  // namespace
}  // namespace zarvik12m
