// Zarvik12mPLU against an emulated register where a careless user or an
// attacker would take it: links planted in shared folders, full disks,
// files the register cannot hold, a log name taken by a pipe, a table read
// to standard output, the terminal going away, the system console.

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

namespace fs = std::filesystem;

using testing::AsDelivered;
using testing::ReadFileBytes;
using testing::RunProcess;
using testing::RunUtility;
using testing::TChildProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::UtilityOnRegister;
using testing::UtilityOptions;
using testing::UtilitySuccess;
using testing::WriteFileBytes;

const std::string& Success = UtilitySuccess;

// The file /l writes of the table.
std::string TableText(const emulator::TGoodsTable& table)
{
    return emulator::FormatPluText(AsDelivered(table), ';');
}

class UtilitySafety : public UtilityOnRegister {
protected:
    using UtilityOnRegister::Run;

    // The utility run in another folder.
    static TProcessResult Run(std::vector<std::string> arguments, const fs::path& folder)
    {
        return RunUtility(UtilityOptions(std::move(arguments), folder));
    }

    TProcessResult Read(const fs::path& file) const
    {
        return Run({"/p1", "/b115200", "/n1", "/s59", "/l" + file.string()});
    }
};

TProcessResult RunTool(const std::string& program, std::vector<std::string> arguments)
{
    TProcessOptions options;
    options.Program = program;
    options.Arguments = std::move(arguments);
    return RunProcess(options);
}

// A user made for the test and removed after it.
class TSecondUser {
public:
    TSecondUser() : FName("zarvik12mt" + std::to_string(::getpid()))
    {
        FMade = RunTool("/usr/sbin/useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", FName})
                    .ExitCode == 0;
        if (FMade) {
            const std::string id = RunTool("/usr/bin/id", {"-u", FName}).Output;
            FUser = static_cast<uid_t>(std::stoul(id));
        }
    }

    ~TSecondUser()
    {
        if (FMade) {
            static_cast<void>(RunTool("/usr/sbin/userdel", {FName}));
        }
    }

    TSecondUser(const TSecondUser&) = delete;
    TSecondUser& operator=(const TSecondUser&) = delete;

    [[nodiscard]] bool Made() const { return FMade; }
    [[nodiscard]] uid_t User() const { return FUser; }

private:
    std::string FName;
    bool FMade = false;
    uid_t FUser = 0;
};

// fs.protected_symlinks switched on for the test, as on every usual
// system, and put back after it.
class TLinkProtection {
public:
    TLinkProtection()
    {
        std::ifstream("/proc/sys/fs/protected_symlinks") >> FBefore;
        std::ofstream("/proc/sys/fs/protected_symlinks") << "1\n";
        std::string now;
        std::ifstream("/proc/sys/fs/protected_symlinks") >> now;
        FOn = now == "1";
    }

    ~TLinkProtection()
    {
        if (!FBefore.empty()) {
            std::ofstream("/proc/sys/fs/protected_symlinks") << FBefore << "\n";
        }
    }

    TLinkProtection(const TLinkProtection&) = delete;
    TLinkProtection& operator=(const TLinkProtection&) = delete;

    [[nodiscard]] bool On() const { return FOn; }

private:
    std::string FBefore;
    bool FOn = false;
};

TEST_F(UtilitySafety, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to make a second user and to be the one the planted link aims at";
    }
    const TSecondUser attacker;
    const TLinkProtection protection;
    if (!attacker.Made() || !protection.On()) {
        GTEST_SKIP() << "no second user could be made, or fs.protected_symlinks could not be switched on";
    }
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    // A sticky folder open to all, like /tmp, holding links of the other
    // user to a file only root may read.
    const fs::path shared = Path("shared");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const fs::path secret = Path("secret");
    WriteFileBytes(secret, "root only");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    const auto plant = [&](const std::string& name, uid_t owner) {
        fs::create_symlink(secret, shared / name);
        EXPECT_EQ(::lchown((shared / name).c_str(), owner, static_cast<gid_t>(-1)), 0);
    };
    plant("plu.txt", attacker.User());
    plant("LogError.txt", attacker.User());

    const TProcessResult read = Read(shared / "plu.txt");
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_TRUE(read.Output.ends_with("\nFile access denied\n")) << read.Output;
    // A failing run, in the folder and with the folder as the log folder.
    const testing::TPortVariable nowhere(7, "/nonexistent/ttyZARVIK");
    EXPECT_EQ(Run({"/p7", "/b9600", "/n1", "/c"}, shared).ExitCode, 1);
    TProcessOptions logged = UtilityOptions({"/p7", "/b9600", "/n1", "/c"}, FDirectory.Path());
    logged.Environment["ZARVIK12M_LOG_DIR"] = shared.string();
    EXPECT_EQ(RunUtility(logged).ExitCode, 1);
    EXPECT_EQ(ReadFileBytes(secret), "root only");
    EXPECT_TRUE(fs::is_symlink(shared / "plu.txt"));

    // Root's own link there is followed: the file it leads to gets the
    // table, and the link stays.
    const fs::path mine = Path("mine.txt");
    WriteFileBytes(mine, "previous");
    fs::create_symlink(mine, shared / "own.txt");
    EXPECT_EQ(Read(shared / "own.txt").ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(mine), TableText(FEmulator.GoodsTable()));
    EXPECT_TRUE(fs::is_symlink(shared / "own.txt"));
}

// A small file system of its own where the process may mount one; the
// file size limit of the child otherwise, which fails writes the same way.
class TSmallDisk {
public:
    explicit TSmallDisk(const fs::path& folder) : FFolder(folder)
    {
        fs::create_directory(folder);
        FMounted = ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    }

    ~TSmallDisk()
    {
        if (FMounted) {
            static_cast<void>(::umount2(FFolder.c_str(), MNT_DETACH));
        }
    }

    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    void Limit(TProcessOptions& options) const
    {
        if (!FMounted) {
            options.FileSizeLimit = 16384;
        }
    }

private:
    fs::path FFolder;
    bool FMounted = false;
};

TEST_F(UtilitySafety, AFileWrittenInPlaceKeepsItsOldTableWhenTheDiskIsFull)
{
    const TSmallDisk disk(Path("small"));
    const fs::path small = Path("small");
    // Written in place: a file with a second name, and a name too long to
    // leave room for a temporary one beside it.
    const fs::path linked = small / "plu.txt";
    const fs::path longName = small / std::string(250, 'p');
    for (const fs::path& file : {linked, longName}) {
        WriteFileBytes(file, "previous\r\n");
    }
    fs::create_hard_link(linked, small / "other.txt");

    FEmulator.SetGoodsTable(emulator::GenerateGoods(4000));
    for (const fs::path& file : {linked, longName}) {
        TProcessOptions options =
            UtilityOptions({"/p1", "/b115200", "/n1", "/s59", "/l" + file.string()}, FDirectory.Path());
        disk.Limit(options);
        const TProcessResult full = RunUtility(options);
        EXPECT_EQ(full.ExitCode, 1) << full.Output;
        EXPECT_TRUE(full.Output.ends_with("\nDisk full\n") || full.Output.ends_with("\nI/O error 27\n")) << full.Output;
        EXPECT_EQ(ReadFileBytes(file), "previous\r\n") << file;
    }
    EXPECT_EQ(ReadFileBytes(small / "other.txt"), "previous\r\n");

    // Where it fits, every name of the file sees the new table.
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    const std::string table = TableText(FEmulator.GoodsTable());
    for (const fs::path& file : {linked, longName}) {
        const TProcessResult fits = Read(file);
        EXPECT_EQ(fits.ExitCode, 0) << fits.Output;
        EXPECT_EQ(ReadFileBytes(file), table);
    }
    EXPECT_EQ(ReadFileBytes(small / "other.txt"), table);
}

TEST_F(UtilitySafety, AReplacedFileKeepsItsExtendedAttributes)
{
    const fs::path file = Path("plu.txt");
    WriteFileBytes(file, "previous");
    const std::string value = "kept";
    if (::setxattr(file.c_str(), "user.zarvik12m", value.data(), value.size(), 0) != 0) {
        GTEST_SKIP() << "the test folder's file system keeps no user attributes";
    }
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    EXPECT_EQ(Read(file).ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(file), TableText(FEmulator.GoodsTable()));
    char buffer[16] = {};
    const ssize_t size = ::getxattr(file.c_str(), "user.zarvik12m", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(size, 0))), value);
}

TEST_F(UtilitySafety, WriteRefusesWhatTheRegisterCannotHoldBeforeSendingAnything)
{
    const std::string good = "   1;          123;      12.50;Milk            ; 1;      1.000\r\n";
    const std::string lines4000 = [] {
        std::string text;
        for (int code = 1; code <= 4000; ++code) {
            text += std::to_string(code) + ";;1;;;1\n";
        }
        return text;
    }();
    const struct {
        std::string Content;
        std::string Error;
    } cases[] = {
        {good + "2;;5;Tea;1\r\n", "Меньше шести полей в строке 2"},  // a half-written line
        {good + "65537;;5;Tea;1;1\r\n", "Код товара вне 1..4000 в строке 2"},
        {good + "0;;5;Tea;1;1\r\n", "Код товара вне 1..4000 в строке 2"},
        {good + "2;;-5;Tea;1;1\r\n", "Цена вне 0..4294967295 в строке 2"},
        {good + "2;;4294967296;Tea;1;1\r\n", "Цена вне 0..4294967295 в строке 2"},
        {good + "2;;5;Tea;1;5000000.5\r\n", "Количество вне 0..4294967.295 в строке 2"},
        {good + "2;;5;Tea;1;-1\r\n", "Количество вне 0..4294967.295 в строке 2"},
        {good + "2;;5;Tea;258;1\r\n", "Группа вне 0..255 в строке 2"},
        {good + "2;46000000000011;5;Tea;1;1\r\n", "Штрихкод длиннее 13 символов в строке 2"},
        {good + "2;;5;Tea of the far north;1;1\r\n", "Наименование длиннее 16 символов в строке 2"},
        {good + "2;;5;Tea;1;1;7\r\n", "Неверное значение в строке 2"},
        {lines4000 + "\n4001;;1;;;1\n", "Товаров больше 4000 в строке 4002"},
        {good + std::string(5000, 'x') + "\n", "Строка длиннее 4096 байт в строке 2"},
        {"\r\n  \n", "В файле PLU нет товаров"},
    };
    for (const auto& c : cases) {
        WriteFileBytes(Path("plu.txt"), c.Content);
        const TProcessResult refused = Run({"/p1", "/b115200", "/n1", "/s59", "/wplu.txt"});
        EXPECT_EQ(refused.ExitCode, 1) << c.Error;
        EXPECT_TRUE(refused.Output.ends_with(
            "\nОшибка: " + c.Error +
            (c.Error.find("строке") != std::string::npos ? std::string(" файла PLU\n") : std::string("\n"))))
            << refused.Output;
    }
    EXPECT_EQ(FEmulator.FrameCount(), 0U);

    // A stream without line ends is refused at its first 4 KiB.
    const TProcessResult zero = Run({"/p1", "/b115200", "/n1", "/s59", "/w/dev/zero"});
    EXPECT_TRUE(zero.Output.ends_with("\nОшибка: Строка длиннее 4096 байт в строке 1 файла PLU\n")) << zero.Output;
    EXPECT_EQ(FEmulator.FrameCount(), 0U);

    // Blank lines, a trailing one among them, are skipped.
    WriteFileBytes(Path("plu.txt"), "\r\n" + good + "   \r\n2;;5;Tea;1;1\r\n\r\n");
    const TProcessResult written = Run({"/p1", "/b115200", "/n1", "/s59", "/wplu.txt"});
    EXPECT_EQ(written.ExitCode, 0) << written.Output;
    EXPECT_EQ(FEmulator.GoodsCount(), 2U);
}

TEST_F(UtilitySafety, TheErrorLogIsOnlyEverARegularFileInItsFolder)
{
    const testing::TPortVariable nowhere(7, "/nonexistent/ttyZARVIK");
    // A pipe of that name nobody reads: left alone, and the run ends.
    ASSERT_EQ(::mkfifo(Path("LogError.txt").c_str(), 0600), 0);
    const TProcessResult failed = Run({"/p7", "/b9600", "/n1", "/c"});
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_FALSE(failed.TimedOut);
    EXPECT_TRUE(fs::is_fifo(Path("LogError.txt")));

    // ZARVIK12M_LOG_DIR names the log's folder.
    fs::create_directory(Path("logs"));
    TProcessOptions options = UtilityOptions({"/p7", "/b9600", "/n1", "/c"}, FDirectory.Path());
    options.Environment["ZARVIK12M_LOG_DIR"] = Path("logs").string();
    EXPECT_EQ(RunUtility(options).ExitCode, 1);
    EXPECT_EQ(RunUtility(options).ExitCode, 1);
    const std::string log = ReadFileBytes(Path("logs") / "LogError.txt");
    EXPECT_NE(log.find(" [ErrorCode-110] "), std::string::npos) << log;
    EXPECT_NE(log.find(" [ErrorCode-110] ", log.find("\r\n")), std::string::npos) << "appended: " << log;
    EXPECT_TRUE(fs::is_fifo(Path("LogError.txt")));

    // /l onto a pipe writes into it.
    FEmulator.SetGoodsTable(emulator::GenerateGoods(3));
    ASSERT_EQ(::mkfifo(Path("plu.fifo").c_str(), 0600), 0);
    TProcessOptions cat;
    cat.Program = "/bin/cat";
    cat.Arguments = {Path("plu.fifo").string()};
    TChildProcess reader(cat);
    EXPECT_EQ(Read(Path("plu.fifo")).ExitCode, 0);
    EXPECT_EQ(reader.Finish().Output, TableText(FEmulator.GoodsTable()));
    EXPECT_TRUE(fs::is_fifo(Path("plu.fifo")));
}

TEST_F(UtilitySafety, ATableReadToStandardOutputIsAFileThatWriteTakesBack)
{
    const emulator::TGoodsTable table = emulator::GenerateGoods(25);
    FEmulator.SetGoodsTable(table);
    const TProcessResult read = Run({"/p1", "/b115200", "/n1", "/s59", "/l"});
    EXPECT_EQ(read.ExitCode, 0) << read.Errors;
    EXPECT_EQ(read.Output, TableText(table));
    EXPECT_TRUE(read.Errors.starts_with("Zarvik12mPLU v1.0.")) << read.Errors;
    EXPECT_TRUE(read.Errors.ends_with("\nЧтение PLU\n" + Success)) << read.Errors;

    WriteFileBytes(Path("f"), read.Output);
    FEmulator.ClearGoods();
    const TProcessResult written = Run({"/p1", "/b115200", "/n1", "/s59", "/wf"});
    EXPECT_EQ(written.ExitCode, 0) << written.Output;
    EXPECT_EQ(FEmulator.GoodsTable(), AsDelivered(table));
}

TEST_F(UtilitySafety, HangingUpStopsTheWriteAsCtrlCDoes)
{
    WriteFileBytes(Path("plu.txt"), emulator::FormatPluText(emulator::GenerateGoods(10), ';'));
    FRegister.Hold.Arm(5);
    TChildProcess writing(UtilityOptions({"/p1", "/b115200", "/n1", "/s59", "/wplu.txt"}, FDirectory.Path()));
    ASSERT_TRUE(FRegister.Hold.WaitUntilHeld());
    ASSERT_EQ(::kill(writing.Id(), SIGHUP), 0);
    ASSERT_TRUE(writing.WaitForDefaultHandling(SIGHUP));
    FRegister.Hold.Release();
    const TProcessResult result = writing.Finish();
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\nЗапись PLU\n\nОперация была прервана пользователем\n")) << result.Output;
    EXPECT_EQ(FEmulator.FrameCount(), 5U);
}

TEST_F(UtilitySafety, TheSystemConsoleIsNoRegisterLine)
{
    if (!fs::is_character_file("/dev/console")) {
        GTEST_SKIP() << "no /dev/console here";
    }
    const testing::TPortVariable console(7, "/dev/console");
    const TProcessResult result = Run({"/p7", "/b115200", "/n1", "/c"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Output.ends_with("\n[COM7] Ошибка открытия порта: Не могу открыть порт \"/dev/console\"\n"))
        << result.Output;
}

}  // namespace
}  // namespace zarvik12m
