// A TCP connection on POSIX sockets: the socket non-blocking, the waits in
// poll, the wake-up an eventfd that stays readable while it is set.

#include "driver/platform/socket_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

namespace zarvik12m {

namespace {

constexpr short HangUpEvents = POLLHUP | POLLERR | POLLNVAL;

// Milliseconds for poll until the deadline, -1 for none; 0 once it has passed.
int PollMilliseconds(const TSocketConnection::TClock::time_point* deadline)
{
    if (deadline == nullptr) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - TSocketConnection::TClock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

void Discard(int handle) noexcept
{
    const int error = errno;
    static_cast<void>(close(handle));
    errno = error;
}

// A socket connected to one address before the deadline, or -1.
int ConnectTo(const addrinfo& address, const TSocketConnection::TClock::time_point& deadline)
{
    const int handle =
        socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (handle < 0) {
        return -1;
    }
    const int on = 1;
    if (setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0 ||
        setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
        Discard(handle);
        return -1;
    }
    if (connect(handle, address.ai_addr, address.ai_addrlen) == 0) {
        return handle;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        Discard(handle);
        return -1;
    }
    pollfd watched{handle, POLLOUT, 0};
    for (;;) {
        const int ready = poll(&watched, 1, PollMilliseconds(&deadline));
        if (ready > 0) {
            break;
        }
        if (ready == 0) {
            static_cast<void>(close(handle));
            errno = ETIMEDOUT;
            return -1;
        }
        if (errno != EINTR) {
            Discard(handle);
            return -1;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        Discard(handle);
        return -1;
    }
    if (error != 0) {
        static_cast<void>(close(handle));
        errno = error;
        return -1;
    }
    return handle;
}

struct TAddressListDeleter {
    void operator()(addrinfo* list) const noexcept { freeaddrinfo(list); }
};

}  // namespace

TSystemError SocketFailureError(TSocketFailure failure)
{
    switch (failure) {
    case sfInvalid:
        return SystemErrorOf(EINVAL);
    case sfBusy:
        return SystemErrorOf(EBUSY);
    case sfTimedOut:
        return SystemErrorOf(ETIMEDOUT);
    case sfRefused:
        return SystemErrorOf(EPROTO);
    case sfBroken:
        return SystemErrorOf(EPIPE);
    }
    return SystemErrorOf(EIO);
}

struct TSocketConnection::TSystemState {
    int Handle = -1;
    int WakeUp = -1;  // an eventfd, readable while the wake-up is set
};

TSocketConnection::TSocketConnection() : FState(std::make_unique<TSystemState>()) {}

TSocketConnection::~TSocketConnection()
{
    Close();
}

bool TSocketConnection::IsOpen() const noexcept
{
    return FState->Handle >= 0;
}

bool TSocketConnection::Connect(const std::string& host, std::uint16_t port, TClock::time_point deadline)
{
    if (IsOpen()) {
        return FLastError.Fail(SocketFailureError(sfBusy));
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
        // A name that no address stands for is a host not found; the
        // resolver's own words say which of its failures it was.
        return resolved == EAI_SYSTEM ? FLastError.FailWithLastSystemError()
                                      : FLastError.Fail({TErrorKind::NotFound, EHOSTUNREACH, gai_strerror(resolved)});
    }
    const std::unique_ptr<addrinfo, TAddressListDeleter> list(found);
    int error = EHOSTUNREACH;
    for (const addrinfo* address = list.get(); address != nullptr; address = address->ai_next) {
        const int handle = ConnectTo(*address, deadline);
        if (handle >= 0) {
            FState->WakeUp = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
            if (FState->WakeUp < 0) {
                Discard(handle);
                return FLastError.FailWithLastSystemError();
            }
            FState->Handle = handle;
            return true;
        }
        error = errno;
        if (error == ETIMEDOUT) {
            break;
        }
    }
    return FLastError.Fail(SystemErrorOf(error));
}

void TSocketConnection::Close() noexcept
{
    if (FState->Handle >= 0) {
        static_cast<void>(close(FState->Handle));
        FState->Handle = -1;
    }
    if (FState->WakeUp >= 0) {
        static_cast<void>(close(FState->WakeUp));
        FState->WakeUp = -1;
    }
}

TSocketConnection::TReceiveResult TSocketConnection::Receive(std::uint8_t* buffer, std::size_t size,
                                                             std::size_t& received)
{
    received = 0;
    for (;;) {
        const ssize_t result = recv(FState->Handle, buffer, size, MSG_DONTWAIT);
        if (result > 0) {
            received = static_cast<std::size_t>(result);
            return rrData;
        }
        if (result == 0) {
            return size == 0 ? rrNothing : rrClosed;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return rrNothing;
        }
        if (errno != EINTR) {
            FLastError.FailWithLastSystemError();
            return rrFailed;
        }
    }
}

TSocketConnection::TSendResult TSocketConnection::Send(const std::uint8_t* data, std::size_t count, std::size_t& sent,
                                                       const TClock::time_point* deadline)
{
    sent = 0;
    while (sent < count) {
        // MSG_NOSIGNAL: a connection the server has closed fails the call
        // instead of killing the process with SIGPIPE.
        const ssize_t result = send(FState->Handle, data + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            FLastError.FailWithLastSystemError();
            return srFailed;
        }
        pollfd watched{FState->Handle, POLLOUT, 0};
        const int ready = poll(&watched, 1, PollMilliseconds(deadline));
        if (ready == 0) {
            FLastError.Fail(SystemErrorOf(ETIMEDOUT));
            return srTimedOut;
        }
        if (ready < 0 && errno != EINTR) {
            FLastError.FailWithLastSystemError();
            return srFailed;
        }
        if (ready > 0 && (watched.revents & HangUpEvents) != 0 && (watched.revents & POLLOUT) == 0) {
            FLastError.Fail(SystemErrorOf(EPIPE));
            return srFailed;
        }
    }
    return srDone;
}

TSocketConnection::TWaitResult TSocketConnection::WaitReadable(const TClock::time_point* deadline)
{
    pollfd watched[2] = {{FState->Handle, POLLIN, 0}, {FState->WakeUp, POLLIN, 0}};
    for (;;) {
        const int ready = poll(watched, 2, PollMilliseconds(deadline));
        if (ready > 0) {
            break;
        }
        if (ready == 0) {
            return wrTimedOut;
        }
        if (errno != EINTR) {
            FLastError.FailWithLastSystemError();
            return wrFailed;
        }
    }
    if (watched[1].revents != 0) {
        return wrWoken;
    }
    // A hang-up is told by the receive that follows.
    return wrReadable;
}

bool TSocketConnection::SetWakeUp() noexcept
{
    const std::uint64_t one = 1;
    // A full counter already holds a wake-up: that is as good as ours.
    return FState->WakeUp < 0 || write(FState->WakeUp, &one, sizeof one) >= 0 || errno == EAGAIN ||
           FLastError.FailWithLastSystemErrorQuietly();
}

bool TSocketConnection::ClearWakeUp() noexcept
{
    std::uint64_t pending = 0;
    return FState->WakeUp < 0 || read(FState->WakeUp, &pending, sizeof pending) >= 0 || errno == EAGAIN ||
           FLastError.FailWithLastSystemErrorQuietly();
}

}  // namespace zarvik12m
