#pragma once

#include <string>

// Terminal devices that a program looking for a register's line must leave
// alone.

namespace zarvik12m {

// Whether the device is a console of the system: the console device
// itself, or a terminal the kernel writes its messages to (on Linux, those
// of /proc/consoles). Bytes and line settings sent there land on the
// machine's own screen.
bool IsSystemConsole(const std::string& path);

// Whether the device is this process's controlling terminal (the user's
// own screen), under any of its names.
bool IsOwnTerminal(const std::string& path);

// Whether the device is the controlling terminal of another process (a
// shell's, say): someone works on it. False where the system does not
// tell, or the device is not there.
bool IsTerminalOfAnotherProcess(const std::string& path);

}  // namespace zarvik12m
