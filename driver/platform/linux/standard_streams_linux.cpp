#include "driver/platform/standard_streams.h"

#include <langinfo.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction
#include <unistd.h>

#include <clocale>

namespace zarvik12m {

const std::string_view ConsoleLineEnd = "\n";

TConsoleCharset StandardOutputCharset()
{
    // A locale that is not installed leaves the C locale, whose ASCII
    // codeset is shown as UTF-8.
    static_cast<void>(std::setlocale(LC_CTYPE, ""));  // NOLINT(concurrency-mt-unsafe)
    const char* codeset = nl_langinfo(CODESET);
    return ConsoleCharsetOfCodeset(codeset != nullptr ? codeset : "");
}

bool IsTerminal(TNativeFile file) noexcept
{
    return ::isatty(static_cast<int>(file)) == 1;
}

void KeepRunningWhenOutputCloses() noexcept
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    static_cast<void>(::sigaction(SIGPIPE, &ignore, nullptr));
}

}  // namespace zarvik12m
