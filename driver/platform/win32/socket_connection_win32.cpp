// A TCP connection on Winsock: the socket non-blocking, its received bytes
// and its end signalled on an event of its own (WSAEventSelect), the
// wake-up a manual-reset event, both waited for together.

#include "driver/platform/socket_connection.h"

// Winsock before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace zarvik12m {

namespace {

// Milliseconds until the deadline, INFINITE for none; 0 once it has passed.
DWORD WaitMilliseconds(const TSocketConnection::TClock::time_point* deadline)
{
    if (deadline == nullptr) {
        return INFINITE;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - TSocketConnection::TClock::now()).count();
    return static_cast<DWORD>(std::clamp<decltype(left)>(left, 0, INFINITE - 1));
}

timeval SelectTime(DWORD milliseconds)
{
    timeval time{};
    time.tv_sec = static_cast<long>(milliseconds / 1000);
    time.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
    return time;
}

void Discard(SOCKET handle) noexcept
{
    const int error = WSAGetLastError();
    closesocket(handle);
    WSASetLastError(error);
}

// Whether the socket can take bytes (or has failed) before the time
// limit: 1 yes, 0 no, -1 the wait failed.
int WaitWritable(SOCKET handle, const TSocketConnection::TClock::time_point* deadline)
{
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(handle, &writable);
    FD_SET(handle, &failed);
    const DWORD milliseconds = WaitMilliseconds(deadline);
    timeval time = SelectTime(milliseconds);
    const int ready = select(0, nullptr, &writable, &failed, milliseconds == INFINITE ? nullptr : &time);
    if (ready == SOCKET_ERROR) {
        return -1;
    }
    return ready > 0 ? 1 : 0;
}

// A socket connected to one address before the deadline, or INVALID_SOCKET.
SOCKET ConnectTo(const addrinfo& address, const TSocketConnection::TClock::time_point& deadline)
{
    const SOCKET handle = WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    const BOOL on = TRUE;
    u_long nonBlocking = 1;
    if (setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        ioctlsocket(handle, FIONBIO, &nonBlocking) != 0) {
        Discard(handle);
        return INVALID_SOCKET;
    }
    if (connect(handle, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        return handle;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        Discard(handle);
        return INVALID_SOCKET;
    }
    const int ready = WaitWritable(handle, &deadline);
    if (ready <= 0) {
        closesocket(handle);
        WSASetLastError(ready == 0 ? WSAETIMEDOUT : WSAGetLastError());
        return INVALID_SOCKET;
    }
    int error = 0;
    int length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        Discard(handle);
        return INVALID_SOCKET;
    }
    if (error != 0) {
        closesocket(handle);
        WSASetLastError(error);
        return INVALID_SOCKET;
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
        return SystemErrorOf(ERROR_INVALID_PARAMETER);
    case sfBusy:
        return SystemErrorOf(ERROR_BUSY);
    case sfTimedOut:
        return SystemErrorOf(WSAETIMEDOUT);
    case sfRefused:
        return SystemErrorOf(ERROR_NOT_SUPPORTED, TErrorKind::Other);
    case sfBroken:
        return SystemErrorOf(WSAECONNRESET);
    }
    return SystemErrorOf(ERROR_GEN_FAILURE);
}

struct TSocketConnection::TSystemState {
    SOCKET Handle = INVALID_SOCKET;
    WSAEVENT Received = WSA_INVALID_EVENT;  // bytes or the connection's end
    HANDLE WakeUp = nullptr;                // manual reset: signalled while set
    bool Started = false;                   // WSAStartup to be balanced
};

TSocketConnection::TSocketConnection() : FState(std::make_unique<TSystemState>()) {}

TSocketConnection::~TSocketConnection()
{
    Close();
}

bool TSocketConnection::IsOpen() const noexcept
{
    return FState->Handle != INVALID_SOCKET;
}

bool TSocketConnection::Connect(const std::string& host, std::uint16_t port, TClock::time_point deadline)
{
    if (IsOpen()) {
        return FLastError.Fail(SocketFailureError(sfBusy));
    }
    if (!FState->Started) {
        WSADATA data{};
        const int started = WSAStartup(MAKEWORD(2, 2), &data);
        if (started != 0) {
            return FLastError.Fail(SystemErrorOf(started));
        }
        FState->Started = true;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return FLastError.FailWithLastSystemError();
    }
    const std::unique_ptr<addrinfo, TAddressListDeleter> list(found);
    int error = WSAEHOSTUNREACH;
    SOCKET handle = INVALID_SOCKET;
    for (const addrinfo* address = list.get(); address != nullptr && handle == INVALID_SOCKET;
         address = address->ai_next) {
        handle = ConnectTo(*address, deadline);
        if (handle == INVALID_SOCKET) {
            error = WSAGetLastError();
            if (error == WSAETIMEDOUT) {
                break;
            }
        }
    }
    if (handle == INVALID_SOCKET) {
        return FLastError.Fail(SystemErrorOf(error));
    }
    FState->Received = WSACreateEvent();
    FState->WakeUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (FState->Received == WSA_INVALID_EVENT || FState->WakeUp == nullptr ||
        WSAEventSelect(handle, FState->Received, FD_READ | FD_CLOSE) != 0) {
        const DWORD failure = GetLastError();
        closesocket(handle);
        Close();
        return FLastError.Fail(SystemErrorOf(static_cast<int>(failure)));
    }
    FState->Handle = handle;
    return true;
}

void TSocketConnection::Close() noexcept
{
    if (FState->Handle != INVALID_SOCKET) {
        closesocket(FState->Handle);
        FState->Handle = INVALID_SOCKET;
    }
    if (FState->Received != WSA_INVALID_EVENT) {
        WSACloseEvent(FState->Received);
        FState->Received = WSA_INVALID_EVENT;
    }
    if (FState->WakeUp != nullptr) {
        CloseHandle(FState->WakeUp);
        FState->WakeUp = nullptr;
    }
    if (FState->Started) {
        WSACleanup();
        FState->Started = false;
    }
}

TSocketConnection::TReceiveResult TSocketConnection::Receive(std::uint8_t* buffer, std::size_t size,
                                                             std::size_t& received)
{
    received = 0;
    const int result = recv(FState->Handle, reinterpret_cast<char*>(buffer),
                            static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
    if (result > 0) {
        received = static_cast<std::size_t>(result);
        return rrData;
    }
    if (result == 0) {
        return size == 0 ? rrNothing : rrClosed;
    }
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
        return rrNothing;
    }
    FLastError.FailWithLastSystemError();
    return rrFailed;
}

TSocketConnection::TSendResult TSocketConnection::Send(const std::uint8_t* data, std::size_t count, std::size_t& sent,
                                                       const TClock::time_point* deadline)
{
    sent = 0;
    while (sent < count) {
        const int result = send(FState->Handle, reinterpret_cast<const char*>(data + sent),
                                static_cast<int>(std::min<std::size_t>(count - sent, INT_MAX)), 0);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
            continue;
        }
        if (result == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
            FLastError.FailWithLastSystemError();
            return srFailed;
        }
        const int ready = WaitWritable(FState->Handle, deadline);
        if (ready < 0) {
            FLastError.FailWithLastSystemError();
            return srFailed;
        }
        if (ready == 0) {
            FLastError.Fail(SystemErrorOf(WSAETIMEDOUT));
            return srTimedOut;
        }
    }
    return srDone;
}

TSocketConnection::TWaitResult TSocketConnection::WaitReadable(const TClock::time_point* deadline)
{
    const HANDLE events[2] = {FState->WakeUp, FState->Received};
    const DWORD result = WaitForMultipleObjects(2, events, FALSE, WaitMilliseconds(deadline));
    if (result == WAIT_OBJECT_0) {
        return wrWoken;
    }
    if (result == WAIT_TIMEOUT) {
        return wrTimedOut;
    }
    if (result != WAIT_OBJECT_0 + 1) {
        FLastError.FailWithLastSystemError();
        return wrFailed;
    }
    // Resets the event; the next receive asks for the next signal. The end
    // of the connection is told by that receive.
    WSANETWORKEVENTS happened{};
    if (WSAEnumNetworkEvents(FState->Handle, FState->Received, &happened) != 0) {
        FLastError.FailWithLastSystemError();
        return wrFailed;
    }
    return wrReadable;
}

bool TSocketConnection::SetWakeUp() noexcept
{
    return FState->WakeUp == nullptr || SetEvent(FState->WakeUp) != 0 || FLastError.FailWithLastSystemErrorQuietly();
}

bool TSocketConnection::ClearWakeUp() noexcept
{
    return FState->WakeUp == nullptr || ResetEvent(FState->WakeUp) != 0 || FLastError.FailWithLastSystemErrorQuietly();
}

}  // namespace zarvik12m
