#include "tests/support/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>

namespace zarvik12m::testing {

namespace {

constexpr int PeerTimeoutMilliseconds = 10000;

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
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

TPseudoTerminal::TPseudoTerminal()
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    std::array<char, 256> name{};
    if (openpty(&FMaster, &FSlave, name.data(), &raw, nullptr) != 0) {
        ThrowSystemError("openpty");
    }
    FSlavePath = name.data();
    for (const int handle : {FMaster, FSlave}) {
        const int flags = fcntl(handle, F_GETFL);
        if (flags < 0 || fcntl(handle, F_SETFL, flags | O_NONBLOCK) != 0) {
            ThrowSystemError("fcntl");
        }
    }
}

TPseudoTerminal::~TPseudoTerminal()
{
    HangUp();
    static_cast<void>(close(FSlave));
}

void TPseudoTerminal::Send(const TBytes& bytes) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PeerTimeoutMilliseconds);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t result = write(FMaster, bytes.data() + sent, bytes.size() - sent);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
        } else if (errno != EAGAIN && errno != EINTR) {
            ThrowSystemError("write");
        } else if (!WaitReady(FMaster, POLLOUT, deadline)) {
            throw std::runtime_error("the driver's side takes no more bytes");
        }
    }
}

TBytes TPseudoTerminal::Receive(std::size_t count) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PeerTimeoutMilliseconds);
    TBytes received(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t result = read(FMaster, received.data() + got, count - got);
        if (result > 0) {
            got += static_cast<std::size_t>(result);
        } else if (result < 0 && errno != EAGAIN && errno != EINTR) {
            ThrowSystemError("read");
        } else if (!WaitReady(FMaster, POLLIN, deadline)) {
            break;
        }
    }
    received.resize(got);
    return received;
}

void TPseudoTerminal::StopLine() const
{
    if (tcflow(FSlave, TCOOFF) != 0) {
        ThrowSystemError("tcflow");
    }
}

bool TPseudoTerminal::HasPendingInput() const
{
    pollfd watched{FMaster, POLLIN, 0};
    return poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

void TPseudoTerminal::HangUp()
{
    if (FMaster >= 0) {
        static_cast<void>(close(FMaster));
        FMaster = -1;
    }
}

TPortVariable::TPortVariable(std::uint8_t portNumber, const std::string& path)
    : FName("ZARVIK12M_COM" + std::to_string(portNumber))
{
    if (setenv(FName.c_str(), path.c_str(), 1) != 0) {
        ThrowSystemError("setenv");
    }
}

TPortVariable::~TPortVariable()
{
    static_cast<void>(unsetenv(FName.c_str()));
}

TBytes CountingBytes(std::size_t count)
{
    TBytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

}  // namespace zarvik12m::testing
