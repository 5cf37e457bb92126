#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX signal
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>

#include "driver/platform/linux/serial_device_termios2.h"
#include "driver/platform/linux_support.h"

namespace zarvik12m {

namespace {

// A read or write, resumed after interruptions: the count, or 0 with the
// system's error code in error.
template <typename TCall>
std::size_t Resumed(const TCall& call, int& error) noexcept
{
    error = 0;
    for (;;) {
        const ssize_t count = call();
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            error = errno;
            return 0;
        }
    }
}

}  // namespace

bool SetLineRate(int descriptor, std::uint32_t baudRate)
{
    return serial_device::SetArbitraryBaudRate(descriptor, baudRate);
}

bool ReadLineRates(int descriptor, std::uint32_t& inputRate, std::uint32_t& outputRate)
{
    return serial_device::ReadBaudRate(descriptor, inputRate, outputRate);
}

std::size_t ReadAvailable(TNativeFile file, std::span<std::uint8_t> buffer, int& error) noexcept
{
    return Resumed([&] { return ::read(Descriptor(file), buffer.data(), buffer.size()); }, error);
}

std::size_t WriteAvailable(TNativeFile file, std::span<const std::uint8_t> bytes, int& error) noexcept
{
    return Resumed([&] { return ::write(Descriptor(file), bytes.data(), bytes.size()); }, error);
}

TFileHandle OpenTerminal(const std::string& path, int& error) noexcept
{
    TFileHandle terminal(NativeFileOf(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)));
    error = terminal.IsOpen() ? 0 : errno;
    return terminal;
}

bool SetFineTimerSlack() noexcept
{
    return ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
}

void IgnoreBrokenPipes() noexcept
{
    static_cast<void>(signal(SIGPIPE, SIG_IGN));
}

}  // namespace zarvik12m
