#include "driver/platform/terminal_devices.h"

// Windows opens a COM port for one program at a time, and its console is
// no COM port: none of these cases arises.

namespace zarvik12m {

bool IsSystemConsole(const std::string& /*path*/)
{
    return false;
}

bool IsOwnTerminal(const std::string& /*path*/)
{
    return false;
}

bool IsTerminalOfAnotherProcess(const std::string& /*path*/)
{
    return false;
}

}  // namespace zarvik12m
