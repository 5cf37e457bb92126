#pragma once

#include <cstdint>
#include <string_view>

#include "driver/platform/file.h"

// What the utility asks of the system about its standard streams.

namespace zarvik12m {

// The charsets a console shows texts in.
enum TConsoleCharset : std::uint8_t {
    csUtf8,         // UTF-8, also for plain ASCII locales and unknown charsets
    csWindows1251,  // the texts as they are
    csDos866,       // the DOS Cyrillic code page of the register
};

// The console charset of a locale's codeset name (nl_langinfo(CODESET)).
TConsoleCharset ConsoleCharsetOfCodeset(std::string_view codeset);

// The charset that standard output shows texts in. Linux: the
// environment's locale for the character type (LC_ALL, LC_CTYPE, LANG),
// taken for the process. Windows: the console's output code page (1251
// and 65001 as they are, any other as the DOS code page 866), and the DOS
// code page for an output that is no console. Asked once at start,
// before any thread.
TConsoleCharset StandardOutputCharset();

// The end of a line on the console: LF on Linux, CR LF on Windows.
extern const std::string_view ConsoleLineEnd;

// Whether the file is a terminal: the user's console, where the progress
// bar is drawn, rather than a file, a pipe or a socket.
bool IsTerminal(TNativeFile file) noexcept;

// A write to a pipe whose reader has gone fails, and is told as any failed
// write, instead of ending the process.
void KeepRunningWhenOutputCloses() noexcept;

}  // namespace zarvik12m
