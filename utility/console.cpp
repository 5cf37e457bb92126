#include "utility/console.h"

#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"
#include "utility/file_handle.h"

namespace zarvik12m {

namespace {

// The DOS shade characters of the progress bar.
constexpr unsigned char DosLightShade = 0xB0;
constexpr unsigned char DosMediumShade = 0xB1;
constexpr unsigned char DosDarkShade = 0xB2;
constexpr unsigned char DosFullBlock = 0xDB;

// Upper case without '-' and '_': "utf-8", "UTF8" and "utf_8" alike.
std::string NormalisedCodeset(std::string_view codeset)
{
    std::string result;
    for (const char c : codeset) {
        if (c != '-' && c != '_') {
            result.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return result;
}

std::string_view Utf8OfDosBlock(unsigned char c)
{
    switch (c) {
    case DosLightShade:
        return "\u2591";
    case DosMediumShade:
        return "\u2592";
    case DosDarkShade:
        return "\u2593";
    case DosFullBlock:
        return "\u2588";
    default:
        return {};
    }
}

}  // namespace

TConsoleCharset ConsoleCharsetOfCodeset(std::string_view codeset)
{
    const std::string name = NormalisedCodeset(codeset);
    if (name == "CP1251" || name == "WINDOWS1251") {
        return csWindows1251;
    }
    if (name == "IBM866" || name == "CP866" || name == "866") {
        return csDos866;
    }
    // UTF-8 itself, and plain ASCII (the C and POSIX locales, whose texts
    // would otherwise be unreadable) as well as any charset without a
    // conversion here.
    return csUtf8;
}

TConsoleCharset EnvironmentConsoleCharset()
{
    // A locale that is not installed leaves the C locale, whose ASCII
    // codeset is shown as UTF-8. Asked once at start, before any thread.
    static_cast<void>(std::setlocale(LC_CTYPE, ""));  // NOLINT(concurrency-mt-unsafe)
    const char* codeset = nl_langinfo(CODESET);
    return ConsoleCharsetOfCodeset(codeset != nullptr ? codeset : "");
}

std::string WinTextToConsole(std::string_view text, TConsoleCharset charset)
{
    switch (charset) {
    case csWindows1251:
        return std::string(text);
    case csDos866:
        return ConvertStr(text, ccWinDos);
    case csUtf8:
        break;
    }
    return Cp1251ToUtf8(text);
}

std::string DosTextToConsole(std::string_view text, TConsoleCharset charset)
{
    if (charset == csDos866) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const std::string_view block = Utf8OfDosBlock(byte);
        if (block.empty()) {
            const char windows = static_cast<char>(CharDosWin(byte));
            result += charset == csUtf8 ? Cp1251ToUtf8(std::string_view(&windows, 1)) : std::string(1, windows);
        } else if (charset == csUtf8) {
            result += block;
        } else {
            result.push_back(byte == DosLightShade ? '-' : '#');
        }
    }
    return result;
}

void TConsole::WriteLines(std::initializer_list<std::string_view> lines)
{
    WriteConverted(FOutput, lines);
}

void TConsole::WriteErrorLines(std::initializer_list<std::string_view> lines)
{
    WriteConverted(FError, lines);
}

void TConsole::WriteProgress(std::string_view dosBar, std::size_t width)
{
    if (!FDrawsProgress) {
        return;
    }
    std::string bytes = DosTextToConsole(dosBar, FCharset);
    bytes.append(width, '\b');
    WriteBytes(FOutput, bytes);
}

void TConsole::WriteConverted(int descriptor, std::initializer_list<std::string_view> lines)
{
    std::string bytes;
    for (const std::string_view line : lines) {
        bytes += WinTextToConsole(line, FCharset);
        bytes.push_back('\n');
    }
    WriteBytes(descriptor, bytes);
}

void TConsole::WriteBytes(int descriptor, std::string_view bytes)
{
    const TCriticalSection::TGuard guard(FLock);
    // A console that cannot be written to has nobody to tell; the run goes
    // on, and a failed standard output makes its exit code a failure.
    if (WriteAllBytes(descriptor, bytes) != 0 && descriptor == FOutput) {
        NoteOutputFailure();
    }
}

}  // namespace zarvik12m
