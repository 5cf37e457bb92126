#include "utility/standard_streams.h"

#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction
#include <unistd.h>

namespace zarvik12m {

bool IsTerminal(int descriptor) noexcept
{
    return ::isatty(descriptor) == 1;
}

void KeepRunningWhenOutputCloses() noexcept
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    static_cast<void>(::sigaction(SIGPIPE, &ignore, nullptr));
}

}  // namespace zarvik12m
