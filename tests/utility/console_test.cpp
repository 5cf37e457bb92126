#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "utility/console.h"
#include "utility/progress_bar.h"

namespace zarvik12m {
namespace {

TEST(ConsoleCharset, FollowsTheLocalesCodeset)
{
    const struct {
        const char* Codeset;
        TConsoleCharset Charset;
    } cases[] = {
        {"UTF-8", csUtf8},   {"utf8", csUtf8},          {"ANSI_X3.4-1968", csUtf8},      {"ISO-8859-5", csUtf8},
        {"", csUtf8},        {"CP1251", csWindows1251}, {"WINDOWS-1251", csWindows1251}, {"IBM866", csDos866},
        {"CP866", csDos866},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConsoleCharsetOfCodeset(c.Codeset), c.Charset) << c.Codeset;
    }
}

TEST(ConsoleText, ConvertsWindowsTextToTheConsole)
{
    const std::string_view text = "Чтение PLU: Ёё №"_cp1251;
    EXPECT_EQ(WinTextToConsole(text, csUtf8), "Чтение PLU: Ёё №");
    EXPECT_EQ(WinTextToConsole(text, csWindows1251), text);
    // The register's DOS code page: Ч 0x97, т 0xE2, Ё 0xF0, ё 0xF1; № (0xB9)
    // goes the table's way, to 0xF9.
    EXPECT_EQ(WinTextToConsole(text, csDos866), "\x97\xE2\xA5\xAD\xA8\xA5 PLU: \xF0\xF1 \xF9");
}

TEST(ConsoleText, ShowsTheProgressBarShades)
{
    const std::string bar = std::string(2, ProgressDarkShade) + std::string(1, ProgressLightShade);
    EXPECT_EQ(DosTextToConsole(bar, csUtf8), "▓▓░");
    EXPECT_EQ(DosTextToConsole(bar, csDos866), bar);
    EXPECT_EQ(DosTextToConsole(bar, csWindows1251), "##-");
}

TEST(Console, WritesLinesWholeInTheConsoleCharset)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    {
        TConsole console(ends[1], ends[1], csUtf8, true);
        console.WriteLines({"", "Запись PLU"_cp1251});
        console.WriteProgress(std::string(2, ProgressDarkShade), 2);
        console.WriteErrorLines({"x."});
    }
    ::close(ends[1]);
    std::string written;
    char buffer[256];
    for (ssize_t count = 0; (count = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
        written.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(ends[0]);
    EXPECT_EQ(written, "\nЗапись PLU\n▓▓\b\bx.\n");
}

}  // namespace
}  // namespace zarvik12m
