#include "utility/console.h"

#include <algorithm>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"
#include "driver/platform/file.h"

namespace zarvik12m {

namespace {

// The DOS shade characters of the progress bar.
constexpr unsigned char DosLightShade = 0xB0;
constexpr unsigned char DosMediumShade = 0xB1;
constexpr unsigned char DosDarkShade = 0xB2;
constexpr unsigned char DosFullBlock = 0xDB;

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

void TConsole::WriteConverted(TNativeFile descriptor, std::initializer_list<std::string_view> lines)
{
    std::string bytes;
    for (const std::string_view line : lines) {
        bytes += WinTextToConsole(line, FCharset);
        bytes += ConsoleLineEnd;
    }
    WriteBytes(descriptor, bytes);
}

void TConsole::WriteBytes(TNativeFile descriptor, std::string_view bytes)
{
    const TCriticalSection::TGuard guard(FLock);
    // A console that cannot be written to has nobody to tell; the run goes
    // on, and a failed standard output makes its exit code a failure.
    if (WriteAllBytes(descriptor, bytes) != 0 && descriptor == FData) {
        NoteOutputFailure();
    }
}

}  // namespace zarvik12m
