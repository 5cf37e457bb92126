#pragma once

#include "driver/platform/file.h"

namespace zarvik12m {

// The descriptor that a file of the system is on Linux, for the POSIX
// calls of the Linux-only tools and tests.
inline int Descriptor(TNativeFile file) noexcept
{
    return static_cast<int>(file);
}

// A descriptor that a POSIX call returned (below 0: none) as a file.
inline TNativeFile NativeFileOf(int descriptor) noexcept
{
    return descriptor < 0 ? NoFile : TNativeFile{descriptor};
}

// Makes a terminal fully raw: no line editing, echo, signals or character
// translation, 8 bits, receiver on, modem lines ignored, reads that return
// one byte at a time. False, with errno telling why, when it is no
// terminal.
bool MakeTerminalRaw(int descriptor) noexcept;

}  // namespace zarvik12m
