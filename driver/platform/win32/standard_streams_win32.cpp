#include "driver/platform/standard_streams.h"

#include <windows.h>

namespace zarvik12m {

const std::string_view ConsoleLineEnd = "\r\n";

namespace {

constexpr UINT WindowsCyrillicCodePage = 1251;

HANDLE Handle(TNativeFile file) noexcept
{
    return reinterpret_cast<HANDLE>(
        file);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
}

}  // namespace

TConsoleCharset StandardOutputCharset()
{
    // Texts go to a console in its output code page; a redirected output
    // gets them as a console of the DOS code page shows them.
    if (!IsTerminal(StandardOutput())) {
        return csDos866;
    }
    switch (GetConsoleOutputCP()) {
    case WindowsCyrillicCodePage:
        return csWindows1251;
    case CP_UTF8:
        return csUtf8;
    default:
        return csDos866;
    }
}

bool IsTerminal(TNativeFile file) noexcept
{
    DWORD mode = 0;
    return file != NoFile && GetConsoleMode(Handle(file), &mode) != FALSE;
}

void KeepRunningWhenOutputCloses() noexcept
{
    // A write to a pipe without reader fails on Windows; nothing ends the
    // process.
}

}  // namespace zarvik12m
