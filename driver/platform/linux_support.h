#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "driver/platform/file.h"

namespace zarvik12m {

// What the Linux-only programs and tests (the emulator, the benchmarks, the
// test support) need of the system beyond the driver's own declarations:
// the target zarvik12m_linux_support, built on Linux only, beside the
// pseudo-terminal (pseudo_terminal.h), the wakeable wait (wakeable_wait.h)
// and symbolic links (symbolic_link.h). The driver's library links none of
// it.

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

// Sets the rate of both directions of a terminal to any number of bits per
// second, leaving every other setting as it is. False when it cannot.
bool SetLineRate(int descriptor, std::uint32_t baudRate);

// The rates a terminal reports it runs at, in bits per second; false when
// they cannot be read.
bool ReadLineRates(int descriptor, std::uint32_t& inputRate, std::uint32_t& outputRate);

// One read of what a non-blocking file has, at most the buffer's size: the
// count, 0 at its end; the system's error code in error (0 on success;
// EAGAIN when nothing is there). Interruptions are resumed.
std::size_t ReadAvailable(TNativeFile file, std::span<std::uint8_t> buffer, int& error) noexcept;

// One write of as many bytes as a non-blocking file takes now: the count;
// the system's error code in error (0 on success; EAGAIN when it takes
// none). Interruptions are resumed.
std::size_t WriteAvailable(TNativeFile file, std::span<const std::uint8_t> bytes, int& error) noexcept;

// Opens a terminal device for blocking reads and writes, never as the
// process's controlling terminal. Not open, with the system's error code in
// error, on failure.
TFileHandle OpenTerminal(const std::string& path, int& error) noexcept;

// The calling thread's timer slack (how late the system may wake a
// sleeping thread, to group wake-ups) down to 1 ns; threads it starts
// later take the setting. False when the system refuses.
bool SetFineTimerSlack() noexcept;

// A program whose console or peer has gone gets write errors instead of
// being killed by SIGPIPE, so that it can clean up.
void IgnoreBrokenPipes() noexcept;

}  // namespace zarvik12m
