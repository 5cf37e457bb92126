// The utility's flows as a user runs them, against the stand-in library
// (stand_in/stand_in_library.cpp): console bytes, exit code, PLU files, and
// the calls that reached the library.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"
#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_process.h"
#include "zarvik12m/exports.h"

namespace zarvik12m {
namespace {

using testing::ReadFileBytes;
using testing::RunProcess;
using testing::SplitProgressBars;
using testing::TChildProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::TTempDirectory;
using testing::WriteFileBytes;

using TArguments = std::vector<std::string>;

const std::string Banner = "Zarvik12mPLU v1.0. Утилита чтения/записи PLU для ККМ Зарвик12м.\n";
const std::string Usage =
    "\n"
    "Параметры утилиты:\n"
    "    /pN - номер COM-порта\n"
    "    /bN - скорость COM-порта\n"
    "    /nN - сетевой номер ККМ\n"
    "    /sN - ASCII-код символа-разделителя полей\n"
    "    /lFilename - прочитать PLU из ККМ в файл\n"
    "    /wFilename - записать PLU из файла в ККМ\n"
    "    /c - очистить PLU в ККМ\n";
const std::string InvalidParameters = "\nОшибка: Неверные параметры\n";
const std::string Success = "\nКоманда выполнена успешно\n";
const std::string Reading = "\nЧтение PLU\n";
const std::string Writing = "\nЗапись PLU\n";
const std::string Clearing = "\nОчистка PLU\n";
const std::string NoAnswer = "[COM1 NetNum1] Команда не выполнилась";

// The stand-in's goods (code|barcode|price x 10000|name|group|quantity) and
// the PLU lines that /l writes of them.
const std::string MilkEntry = "1|123|125000|" + std::string("Молоко"_cp1251) + "|1|1";
const std::string BreadEntry = "2|4600000000002|350000|" + std::string("Хлеб ржаной"_cp1251) + "|12|2.5";
const std::string MilkLine =
    "   1;          123;      12.50;" + std::string("Молоко"_cp1251) + "          ; 1;      1.000\r\n";
const std::string BreadLine =
    "   2;4600000000002;      35.00;" + std::string("Хлеб ржаной"_cp1251) + "     ;12;      2.500\r\n";

// The progress bar as UTF-8 shows it.
std::string Utf8Bar(int dark)
{
    std::string bar;
    for (int i = 0; i < 60; ++i) {
        bar += i < dark ? "▓" : "░";
    }
    return bar;
}

class UtilityFlow : public ::testing::Test {
protected:
    [[nodiscard]] std::filesystem::path Path(const std::string& name) const { return FDirectory.Path() / name; }

    // The utility in the scratch folder with the stand-in library and the
    // stand-in settings of the test.
    [[nodiscard]] TProcessOptions Options(TArguments arguments, const std::string& locale = "C.UTF-8",
                                          const std::string& libraryDirectory = ZARVIK12M_STAND_IN_DIRECTORY) const
    {
        TProcessOptions options = testing::UtilityOptions(std::move(arguments), FDirectory.Path(), locale);
        options.Environment["LD_LIBRARY_PATH"] = libraryDirectory;
        options.Environment["ZARVIK12M_STAND_IN_RECORD"] = Path("record.txt").string();
        for (const auto& [name, value] : FStandIn) {
            options.Environment[name] = value;
        }
        return options;
    }

    [[nodiscard]] TProcessResult Run(TArguments arguments) const { return RunProcess(Options(std::move(arguments))); }

    void SetGoods(const std::vector<std::string>& entries)
    {
        std::string content;
        for (const std::string& entry : entries) {
            content += entry + "\n";
        }
        WriteFileBytes(Path("goods.txt"), content);
        FStandIn["ZARVIK12M_STAND_IN_GOODS"] = Path("goods.txt").string();
    }

    void SetDriverFailure(int step, const std::string& message, int code = -202)
    {
        FStandIn["ZARVIK12M_STAND_IN_FAILURE"] = "driver";
        FStandIn["ZARVIK12M_STAND_IN_FAIL_AT"] = std::to_string(step);
        FStandIn["ZARVIK12M_STAND_IN_ERROR_CODE"] = std::to_string(code);
        FStandIn["ZARVIK12M_STAND_IN_ERROR_MESSAGE"] = Utf8ToCp1251(message);
    }

    // Runs the utility with the export held at the progress step until the
    // bar (without its backspaces) is on the console, then lets it go on;
    // nothing when the bar never came.
    std::optional<TProcessResult> RunHeldAt(int step, const std::string& bar, TArguments arguments,
                                            const std::string& locale = "C.UTF-8")
    {
        if (::mkfifo(Path("hold").c_str(), 0600) != 0) {
            ADD_FAILURE() << "mkfifo: " << errno;
            return std::nullopt;
        }
        FStandIn["ZARVIK12M_STAND_IN_HOLD"] = Path("hold").string();
        FStandIn["ZARVIK12M_STAND_IN_HOLD_AT"] = std::to_string(step);
        TProcessOptions options = Options(std::move(arguments), locale);
        options.OutputOnTerminal = true;
        TChildProcess child(options);
        const std::string drawing = bar + std::string(60, '\b');
        if (!child.WaitForOutput([&](std::string_view output) { return output.find(drawing) != output.npos; })) {
            ADD_FAILURE() << "no bar " << bar << " in " << child.Output();
            return std::nullopt;
        }
        // The export is at the step or about to open the pipe: this open
        // waits for it.
        const int fifo = ::open(Path("hold").c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(::write(fifo, "x", 1), 1);
        ::close(fifo);
        return child.Finish();
    }

    [[nodiscard]] std::string Record() const { return ReadFileBytes(Path("record.txt")); }

    TTempDirectory FDirectory;
    std::map<std::string, std::optional<std::string>> FStandIn;
};

// The console text without the progress bar's drawings, each of which must
// be a well-formed bar.
std::string TextOf(const TProcessResult& result)
{
    const testing::TConsoleOutput output = SplitProgressBars(result.Output, 3);
    for (const std::string& bar : output.Bars) {
        EXPECT_EQ(bar.find_first_not_of("\xE2\x96\x93\x91"), std::string::npos) << bar;
    }
    return output.Text;
}

TEST_F(UtilityFlow, WithoutParametersPrintsTheUsageAndStillLoadsTheLibrary)
{
    const TProcessResult result = Run({});
    EXPECT_EQ(result.Output, Banner + Usage);
    EXPECT_EQ(result.Errors, "");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Record(), "load\nunload\n");
}

TEST_F(UtilityFlow, InvalidParametersPrintTheErrorAndTheUsage)
{
    const TArguments cases[] = {
        {"/P1", "/b9600", "/n1", "/c"},         // upper case is no switch
        {"x/p5", "/b9600", "/n1", "/c"},        // a switch only at the start: no /p
        {"/p1", "/b9600", "/n1", "/lplu.txt"},  // /l without /s
        {"/p1", "/b9600", "/n1", "/sx", "/c"},  // /s with /c, not an integer
        {"/p0", "/b9600", "/n1", "/c"},
        {"/p33", "/b9600", "/n1", "/c"},
        {"/p1", "/b9600", "/n0", "/c"},
        {"/p1", "/b9600", "/n100", "/c"},
        {""},
    };
    for (const TArguments& arguments : cases) {
        const TProcessResult result = Run(arguments);
        EXPECT_EQ(result.Output, Banner + InvalidParameters + Usage) << arguments.front();
        EXPECT_EQ(result.ExitCode, 1) << arguments.front();
        EXPECT_EQ(Record(), "load\nunload\n") << arguments.front();
        std::filesystem::remove(Path("record.txt"));
    }
}

TEST_F(UtilityFlow, ClearTakesTheFirstOfRepeatedSwitchesAndAllowsASeparator)
{
    const TProcessResult result = Run({"/p3", "/b9600", "/n7", "/s59", "/c", "/p5"});
    EXPECT_EQ(result.Output, Banner + Clearing + Success);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(Record(), "load\nClearGoods 3 9600 7\nunload\n");
}

TEST_F(UtilityFlow, ClearTellsTheLibrarysError)
{
    SetDriverFailure(1, "[COM1 NetNum1] Команда не выполнилась");
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/c"});
    EXPECT_EQ(result.Output, Banner + Clearing + "\n" + NoAnswer + "\n");
    EXPECT_EQ(result.Errors, "");
    EXPECT_EQ(result.ExitCode, 1);
}

TEST_F(UtilityFlow, OtherExceptionsOfClearEndTheRunThroughTheLastResortHandler)
{
    // The exception objects' code lives in the library: reporting them after
    // unloading it would crash.
    const struct {
        const char* Failure;
        std::string Report;
    } cases[] = {
        {"other",
         "Exception (anonymous namespace)::EStandInFault in module Zarvik12mPLU at main.\nstand-in fault.\n\n"},
        {"foreign", "Exception int in module Zarvik12mPLU at main.\nНеизвестная ошибка.\n\n"},
    };
    for (const auto& c : cases) {
        FStandIn["ZARVIK12M_STAND_IN_FAILURE"] = c.Failure;
        const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/c"});
        EXPECT_EQ(result.Output, Banner + Clearing) << c.Failure;
        EXPECT_EQ(result.Errors, c.Report);
        EXPECT_EQ(result.ExitCode, 1) << c.Failure;
        EXPECT_EQ(Record(), "load\nClearGoods 1 9600 1\nunload\n") << c.Failure;
        std::filesystem::remove(Path("record.txt"));
    }
}

TEST_F(UtilityFlow, LoadWritesThePluFile)
{
    SetGoods({MilkEntry, BreadEntry});
    const TProcessResult result = Run({"/p2", "/b19200", "/n3", "/s59", "/lplu.txt"});
    EXPECT_EQ(TextOf(result), Banner + Reading + Success);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), MilkLine + BreadLine);
    EXPECT_EQ(Record(), "load\nLoadGoods 2 19200 3\nunload\n");
}

TEST_F(UtilityFlow, LoadWithAnEmptyNameWritesToStandardOutputAndTellsTheRestOnStandardError)
{
    SetGoods({MilkEntry, BreadEntry});
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", "/l"});
    EXPECT_EQ(result.Output, MilkLine + BreadLine);
    EXPECT_EQ(result.Errors, Banner + Reading + Success);
    EXPECT_EQ(result.ExitCode, 0);
}

TEST_F(UtilityFlow, LoadOfAnEmptyTableCreatesAnEmptyFile)
{
    WriteFileBytes(Path("plu.txt"), "previous");
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    EXPECT_EQ(TextOf(result), Banner + Reading + Success);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(Path("plu.txt")));
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), "");
}

TEST_F(UtilityFlow, LoadThatFailsLeavesTheFileAlone)
{
    SetGoods({MilkEntry, BreadEntry});
    SetDriverFailure(2, "Ошибка ККМ: Нет бумаги", 14);
    WriteFileBytes(Path("plu.txt"), "previous");
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    EXPECT_EQ(TextOf(result), Banner + Reading + "\nОшибка ККМ: Нет бумаги\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), "previous");

    // Any other exception in the worker is told the same way.
    FStandIn["ZARVIK12M_STAND_IN_FAILURE"] = "other";
    const TProcessResult other = Run({"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    EXPECT_EQ(TextOf(other), Banner + Reading + "\nstand-in fault\n");
    EXPECT_EQ(other.Errors, "");
    EXPECT_EQ(other.ExitCode, 1);
    FStandIn["ZARVIK12M_STAND_IN_FAILURE"] = "foreign";
    const TProcessResult foreign = Run({"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    EXPECT_EQ(TextOf(foreign), Banner + Reading + "\nНеизвестная ошибка\n");
    EXPECT_EQ(foreign.ExitCode, 1);
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), "previous");
}

TEST_F(UtilityFlow, LoadTellsFileErrors)
{
    SetGoods({MilkEntry});
    const struct {
        std::string FileName;
        std::string Message;
    } cases[] = {
        {"/lno-folder/plu.txt", "Path not found"},
        {"/lC:/c/plu.txt", "Path not found"},  // the file C:/c/plu.txt, not /c
        {"/l/dev/full", "Disk full"},
        {"/l.", "File access denied"},
    };
    for (const auto& c : cases) {
        const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", c.FileName});
        EXPECT_EQ(TextOf(result), Banner + Reading + "\n" + c.Message + "\n") << c.FileName;
        EXPECT_EQ(result.ExitCode, 1) << c.FileName;
    }
}

TEST_F(UtilityFlow, LoadThatFailsToWriteKeepsThePreviousFile)
{
    FStandIn["ZARVIK12M_STAND_IN_GOODS_COUNT"] = "100";
    WriteFileBytes(Path("plu.txt"), MilkLine);
    TProcessOptions options = Options({"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    options.FileSizeLimit = 1000;  // the file needs 6400 bytes
    const TProcessResult result = RunProcess(options);
    EXPECT_EQ(TextOf(result), Banner + Reading + "\nI/O error " + std::to_string(EFBIG) + "\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), MilkLine);
    // No temporary file is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(FDirectory.Path())) {
        EXPECT_EQ(entry.path().filename().string().find("plu.txt."), std::string::npos) << entry.path();
    }
}

TEST_F(UtilityFlow, AClosedStandardOutputFailsTheRunWithoutEndingIt)
{
    SetGoods({MilkEntry});
    // The goods themselves on the output, then only the messages.
    for (const char* file : {"/l", "/lplu.txt"}) {
        TProcessOptions options = Options({"/p1", "/b9600", "/n1", "/s59", file});
        options.OutputClosed = true;
        const TProcessResult result = RunProcess(options);
        EXPECT_EQ(result.Signal, 0) << file;
        EXPECT_EQ(result.ExitCode, 1) << file;
        EXPECT_EQ(Record(), "load\nLoadGoods 1 9600 1\nunload\n") << file;
        std::filesystem::remove(Path("record.txt"));
    }
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")), MilkLine);
}

TEST_F(UtilityFlow, LoadOfAFullTableDrawsTheBarAgainstFourThousand)
{
    FStandIn["ZARVIK12M_STAND_IN_GOODS_COUNT"] = "4000";
    const std::optional<TProcessResult> result =
        RunHeldAt(2000, Utf8Bar(30), {"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->ExitCode, 0);
    EXPECT_EQ(TextOf(*result), Banner + Reading + Success);
    EXPECT_EQ(ReadFileBytes(Path("plu.txt")).size(), 4000 * 64U);
}

TEST_F(UtilityFlow, WriteSendsTheFileToTheRegister)
{
    // A file as /l writes it, a blank line, which is skipped, and a bare LF
    // end.
    WriteFileBytes(Path("plu.txt"), MilkLine + BreadLine + "\n  \n" + "$A;x;0.5;y;2;0.25");
    const TProcessResult result = Run({"/p4", "/b9600", "/n2", "/s59", "/wplu.txt"});
    EXPECT_EQ(TextOf(result), Banner + Writing + Success);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(Record(),
              "load\nWriteGoods 4 9600 2 3\n"
              "  1|          123|125000|" +
                  std::string("Молоко          "_cp1251) +
                  "|1|1\n"
                  "  2|4600000000002|350000|" +
                  std::string("Хлеб ржаной     "_cp1251) +
                  "|12|2.5\n"
                  "  10|x|5000|y|2|0.25\n"
                  "unload\n");
}

TEST_F(UtilityFlow, WriteReadsStandardInputForAnEmptyName)
{
    TProcessOptions options = Options({"/p1", "/b9600", "/n1", "/s9", "/w"});
    options.Input = "1\t\t1.5\t\t\t2\r\n";
    const TProcessResult result = RunProcess(options);
    EXPECT_EQ(TextOf(result), Banner + Writing + Success);
    EXPECT_EQ(Record(), "load\nWriteGoods 1 9600 1 1\n  1||15000||0|2\nunload\n");
}

TEST_F(UtilityFlow, WriteSendsTheWholeTableAndRefusesMore)
{
    std::string content;
    for (int code = 1; code <= 4000; ++code) {
        content += std::to_string(code) + ";;;;;\r\n";
    }
    WriteFileBytes(Path("plu.txt"), content);
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", "/wplu.txt"});
    EXPECT_EQ(result.ExitCode, 0);
    const std::string record = Record();
    EXPECT_EQ(record.substr(0, record.find("\n  1|")), "load\nWriteGoods 1 9600 1 4000");
    EXPECT_NE(record.find("\n  4000|"), std::string::npos);
    std::filesystem::remove(Path("record.txt"));

    WriteFileBytes(Path("plu.txt"), content + "4001;;;;;\r\n");
    const TProcessResult refused = Run({"/p1", "/b9600", "/n1", "/s59", "/wplu.txt"});
    EXPECT_EQ(refused.Output, Banner + "\nОшибка: Товаров больше 4000 в строке 4001 файла PLU\n");
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_EQ(Record(), "load\nunload\n");
}

TEST_F(UtilityFlow, WriteThatCannotReadTheWholeFileSendsNothing)
{
    WriteFileBytes(Path("empty.txt"), "");
    WriteFileBytes(Path("comma.txt"), MilkLine + "2;;12,50;;;\r\n" + BreadLine);
    WriteFileBytes(Path("tea.txt"), "1;;1;Чай;;\n2;;2;Чай 茶;;\n");
    const struct {
        std::string FileName;
        std::string Printed;
    } cases[] = {
        {"/wmissing.txt", "\nFile not found\n"},
        {"/w.", "\nFile access denied\n"},
        {"/wempty.txt", "\nОшибка: В файле PLU нет товаров\n"},  // nothing to do, and why
        {"/wcomma.txt", "\nОшибка: Неверное значение в строке 2 файла PLU\n"},
        {"/wtea.txt", "\nОшибка: Символ без кодировки Windows-1251 в строке 2 файла PLU\n"},
        {"/wno-folder/plu.txt", "\nPath not found\n"},
    };
    for (const auto& c : cases) {
        const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", c.FileName});
        EXPECT_EQ(result.Output, Banner + c.Printed) << c.FileName;
        EXPECT_EQ(result.ExitCode, 1) << c.FileName;
        EXPECT_EQ(Record(), "load\nunload\n") << c.FileName;
        std::filesystem::remove(Path("record.txt"));
    }
}

TEST_F(UtilityFlow, WriteThatFailsWhileReadingSendsNothing)
{
    // Standard input is a stream socket whose peer leaves with data unread:
    // the utility reads two lines, then gets ECONNRESET.
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(::write(ends[0], "x", 1), 1);
    TProcessOptions options = Options({"/p1", "/b9600", "/n1", "/s59", "/w"});
    options.InputDescriptor = ends[0];
    TChildProcess child(options);
    ::close(ends[0]);
    const std::string lines = MilkLine + BreadLine;
    ASSERT_EQ(::write(ends[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(ends[1]);
    const TProcessResult result = child.Finish();
    EXPECT_EQ(result.Output, Banner + "\nI/O error " + std::to_string(ECONNRESET) + "\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Record(), "load\nunload\n");
}

TEST_F(UtilityFlow, WriteTellsTheRegistersRefusal)
{
    WriteFileBytes(Path("plu.txt"), MilkLine + BreadLine);
    SetDriverFailure(2, "Ошибка ККМ: Неверный формат данных", 13);
    const TProcessResult result = Run({"/p1", "/b9600", "/n1", "/s59", "/wplu.txt"});
    EXPECT_EQ(TextOf(result), Banner + Writing + "\nОшибка ККМ: Неверный формат данных\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Record(), "load\nWriteGoods 1 9600 1 2\n  1|          123|125000|" +
                            std::string("Молоко          "_cp1251) + "|1|1\nunload\n");
}

TEST_F(UtilityFlow, WriteDrawsTheBarAgainstTheNumberOfEntries)
{
    WriteFileBytes(Path("plu.txt"), "1;;;;;\n2;;;;;\n3;;;;;\n4;;;;;\n");
    const std::optional<TProcessResult> result =
        RunHeldAt(2, Utf8Bar(30), {"/p1", "/b9600", "/n1", "/s59", "/wplu.txt"});
    ASSERT_TRUE(result);
    EXPECT_EQ(TextOf(*result), Banner + Writing + Success);
    EXPECT_EQ(result->ExitCode, 0);
}

// A copy of the program in bin/ of the scratch folder, whose RUNPATH
// leads to a library folder beside it, and no LD_LIBRARY_PATH.
TProcessOptions CopiedProgramOptions(const TProcessOptions& original, const std::filesystem::path& directory)
{
    std::filesystem::create_directory(directory / "bin");
    std::filesystem::copy_file(testing::UtilityProgramPath(), directory / "bin" / "Zarvik12mPLU");
    TProcessOptions options = original;
    options.Program = directory / "bin" / "Zarvik12mPLU";
    options.Environment["LD_LIBRARY_PATH"] = std::nullopt;
    return options;
}

TEST_F(UtilityFlow, AMissingLibraryGivesOnlyTheLastResortReport)
{
    const TProcessResult result =
        RunProcess(CopiedProgramOptions(Options({"/p1", "/b9600", "/n1", "/c"}), FDirectory.Path()));
    EXPECT_EQ(result.Output, "");
    EXPECT_EQ(result.Errors,
              "Exception std::runtime_error in module Zarvik12mPLU at TZarvik12mDll.\n"
              "Не могу загрузить libzarvik12m.so.1.\n\n");
    EXPECT_EQ(result.ExitCode, 1);
}

TEST_F(UtilityFlow, AMovedProgramFindsTheLibraryBesideIt)
{
    if (testing::RunpathHiddenBySanitizer) {
        GTEST_SKIP() << "the sanitizer's dlopen does not search the program's RUNPATH";
    }
    const TProcessOptions options = CopiedProgramOptions(Options({"/p1", "/b9600", "/n1", "/c"}), FDirectory.Path());
    const std::filesystem::path libraries = (Path("bin") / ZARVIK12M_LIBRARY_FROM_PROGRAM).lexically_normal();
    std::filesystem::create_directories(libraries);
    std::filesystem::copy_file(std::filesystem::path(ZARVIK12M_STAND_IN_DIRECTORY) / Zarvik12mLibraryFileName,
                               libraries / Zarvik12mLibraryFileName);
    const TProcessResult installed = RunProcess(options);
    EXPECT_EQ(installed.Output, Banner + Clearing + Success);
    EXPECT_EQ(installed.ExitCode, 0);
}

TEST_F(UtilityFlow, ALibraryLackingAnExportIsNotCalled)
{
    const TProcessResult result =
        RunProcess(Options({"/p1", "/b9600", "/n1", "/c"}, "C.UTF-8", ZARVIK12M_INCOMPLETE_STAND_IN_DIRECTORY));
    EXPECT_EQ(result.Output, "");
    EXPECT_EQ(result.Errors,
              "Exception std::runtime_error in module Zarvik12mPLU at TZarvik12mDll.\n"
              "Ошибка загрузки libzarvik12m.so.1.\n\n");
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Record(), "load\nunload\n");
}

// Texts and the progress bar in the charset of each locale.
struct TLocaleCase {
    const char* Locale;
    std::string (*Text)(const std::string& utf8);
    std::string HalfwayBar;
};

void PrintTo(const TLocaleCase& c, std::ostream* stream)
{
    *stream << c.Locale;
}

std::string AsUtf8(const std::string& utf8)
{
    return utf8;
}

std::string AsWindows1251(const std::string& utf8)
{
    return Utf8ToCp1251(utf8);
}

std::string AsDos866(const std::string& utf8)
{
    return ConvertStr(Utf8ToCp1251(utf8), ccWinDos);
}

class UtilityLocale : public UtilityFlow, public ::testing::WithParamInterface<TLocaleCase> {};

TEST_P(UtilityLocale, ShowsTextsAndBarInTheLocalesCharset)
{
    const TLocaleCase& c = GetParam();
    if (std::string(c.Locale).starts_with("ru_RU") && !testing::TestLocaleAvailable(c.Locale)) {
        GTEST_SKIP() << c.Locale << " was not built";
    }
    FStandIn["ZARVIK12M_STAND_IN_GOODS_COUNT"] = "4000";
    const std::optional<TProcessResult> result =
        RunHeldAt(2000, c.HalfwayBar, {"/p1", "/b9600", "/n1", "/s59", "/lplu.txt"}, c.Locale);
    ASSERT_TRUE(result);
    const std::size_t barCharacterBytes = c.HalfwayBar.size() / 60;
    EXPECT_EQ(SplitProgressBars(result->Output, barCharacterBytes).Text, c.Text(Banner + Reading + Success));
    EXPECT_EQ(result->ExitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, UtilityLocale,
    ::testing::Values(TLocaleCase{"ru_RU.UTF-8", &AsUtf8, Utf8Bar(30)},
                      TLocaleCase{"ru_RU.CP1251", &AsWindows1251, std::string(30, '#') + std::string(30, '-')},
                      TLocaleCase{"ru_RU.IBM866", &AsDos866, std::string(30, '\xB2') + std::string(30, '\xB0')},
                      TLocaleCase{"C", &AsUtf8, Utf8Bar(30)}),
    [](const ::testing::TestParamInfo<TLocaleCase>& parameter) {
        std::string name;
        for (const char* p = parameter.param.Locale; *p != '\0'; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
        }
        return name;
    });

}  // namespace
}  // namespace zarvik12m
