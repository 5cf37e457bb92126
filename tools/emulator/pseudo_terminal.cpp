#include "tools/emulator/pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): POSIX posix_openpt, grantpt, ptsname_r
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "driver/platform/serial_device_termios2.h"

namespace zarvik12m::emulator {

namespace {

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        ThrowSystemError("tcgetattr");
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetspeed(&settings, B9600) != 0 || tcsetattr(fd, TCSANOW, &settings) != 0) {
        ThrowSystemError("tcsetattr");
    }
}

}  // namespace

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        FFd = other.Release();
    }
    return *this;
}

int TFileDescriptor::Release() noexcept
{
    return std::exchange(FFd, -1);
}

void TFileDescriptor::Close() noexcept
{
    if (FFd >= 0) {
        // close() releases the descriptor even when it reports an error.
        static_cast<void>(::close(FFd));
        FFd = -1;
    }
}

TPseudoTerminal::TPseudoTerminal() : FMaster(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    if (!FMaster.Valid()) {
        ThrowSystemError("posix_openpt");
    }
    if (grantpt(FMaster.Get()) != 0 || unlockpt(FMaster.Get()) != 0) {
        ThrowSystemError("unlockpt");
    }
    char name[128] = {};
    if (ptsname_r(FMaster.Get(), name, sizeof name) != 0) {
        ThrowSystemError("ptsname_r");
    }
    FSlavePath = name;
    FSlave = TFileDescriptor(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!FSlave.Valid()) {
        ThrowSystemError("open pseudo-terminal slave");
    }
    MakeRaw(FSlave.Get());

    const int flags = fcntl(FMaster.Get(), F_GETFL);
    if (flags < 0 || fcntl(FMaster.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        ThrowSystemError("fcntl");
    }
}

std::uint32_t TPseudoTerminal::LineBaudRate() const
{
    // Both ends of a pseudo-terminal share the slave's settings; the
    // emulator's own slave descriptor reads them as the driver left them.
    std::uint32_t inputRate = 0;
    std::uint32_t outputRate = 0;
    if (!FSlave.Valid() || !serial_device::ReadBaudRate(FSlave.Get(), inputRate, outputRate)) {
        return 0;
    }
    return outputRate;
}

std::size_t TPseudoTerminal::UnreadBySlave() const
{
    int count = 0;
    if (!FSlave.Valid() || ioctl(FSlave.Get(), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

void TPseudoTerminal::Close() noexcept
{
    FMaster.Close();
    FSlave.Close();
}

}  // namespace zarvik12m::emulator
