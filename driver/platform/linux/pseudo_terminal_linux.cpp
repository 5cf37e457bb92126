#include "driver/platform/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): POSIX posix_openpt, grantpt, ptsname_r
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>

#include "driver/platform/linux/serial_device_termios2.h"
#include "driver/platform/linux_support.h"

namespace zarvik12m {

namespace {

constexpr int PeerTimeoutMilliseconds = 10000;

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd)
{
    if (!MakeTerminalRaw(fd)) {
        ThrowSystemError("tcsetattr");
    }
    termios settings{};
    if (tcgetattr(fd, &settings) != 0 || cfsetspeed(&settings, B9600) != 0 || tcsetattr(fd, TCSANOW, &settings) != 0) {
        ThrowSystemError("tcsetattr");
    }
}

// Waits until the master can be read or written; false after the time-out.
bool WaitReady(int handle, short events, std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
        return false;
    }
    pollfd watched{handle, events, 0};
    const int ready = poll(&watched, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) {
        ThrowSystemError("poll");
    }
    return ready != 0;
}

}  // namespace

bool MakeTerminalRaw(int descriptor) noexcept
{
    termios settings{};
    if (tcgetattr(descriptor, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(descriptor, TCSANOW, &settings) == 0;
}

TPseudoTerminal::TPseudoTerminal() : FMaster(NativeFileOf(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)))
{
    if (!FMaster.IsOpen()) {
        ThrowSystemError("posix_openpt");
    }
    const int master = Descriptor(FMaster.Get());
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ThrowSystemError("unlockpt");
    }
    char name[128] = {};
    if (ptsname_r(master, name, sizeof name) != 0) {
        ThrowSystemError("ptsname_r");
    }
    FSlavePath = name;
    FSlave = TFileHandle(NativeFileOf(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK)));
    if (!FSlave.IsOpen()) {
        ThrowSystemError("open pseudo-terminal slave");
    }
    MakeRaw(Descriptor(FSlave.Get()));

    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowSystemError("fcntl");
    }
}

std::uint32_t TPseudoTerminal::LineBaudRate() const
{
    // Both ends of a pseudo-terminal share the slave's settings; the far
    // end's own slave descriptor reads them as the driver left them.
    std::uint32_t inputRate = 0;
    std::uint32_t outputRate = 0;
    if (!FSlave.IsOpen() || !serial_device::ReadBaudRate(Descriptor(FSlave.Get()), inputRate, outputRate)) {
        return 0;
    }
    return outputRate;
}

std::size_t TPseudoTerminal::UnreadBySlave() const
{
    int count = 0;
    if (!FSlave.IsOpen() || ioctl(Descriptor(FSlave.Get()), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

void TPseudoTerminal::Send(const TBytes& bytes) const
{
    const int master = Descriptor(FMaster.Get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PeerTimeoutMilliseconds);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t result = write(master, bytes.data() + sent, bytes.size() - sent);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
        } else if (errno != EAGAIN && errno != EINTR) {
            ThrowSystemError("write");
        } else if (!WaitReady(master, POLLOUT, deadline)) {
            throw std::runtime_error("the driver's side takes no more bytes");
        }
    }
}

TPseudoTerminal::TBytes TPseudoTerminal::Receive(std::size_t count) const
{
    const int master = Descriptor(FMaster.Get());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PeerTimeoutMilliseconds);
    TBytes received(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t result = read(master, received.data() + got, count - got);
        if (result > 0) {
            got += static_cast<std::size_t>(result);
        } else if (result < 0 && errno != EAGAIN && errno != EINTR) {
            ThrowSystemError("read");
        } else if (!WaitReady(master, POLLIN, deadline)) {
            break;
        }
    }
    received.resize(got);
    return received;
}

void TPseudoTerminal::StopLine() const
{
    if (tcflow(Descriptor(FSlave.Get()), TCOOFF) != 0) {  // NOLINT(concurrency-mt-unsafe): the far end's own descriptor
        ThrowSystemError("tcflow");
    }
}

bool TPseudoTerminal::HasPendingInput() const
{
    pollfd watched{Descriptor(FMaster.Get()), POLLIN, 0};
    return poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

void TPseudoTerminal::Close() noexcept
{
    FMaster.Close();
    FSlave.Close();
}

}  // namespace zarvik12m
