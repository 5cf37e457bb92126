// Ctrl+C and Ctrl+Break at the console, and the console's closing, as
// interrupt requests. The system calls the handler on a thread of its own;
// it only flips an atomic flag and sets an event. A second request before
// the release is left to the system's default handling, which ends the
// process.

#include "driver/platform/interrupt_requests.h"

#include <windows.h>

#include <atomic>

namespace zarvik12m {

namespace {

std::atomic<bool> RequestCaught{false};   // the first request has come
std::atomic<bool> RequestPending{false};  // and no wait has reported it yet
std::atomic<bool> Caught{false};

// Set on a request and by WakeInterruptWait; made once and never closed,
// since a handler already running may still set it after the release.
HANDLE WakeEvent() noexcept
{
    static const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    if (RequestCaught.exchange(true)) {
        return FALSE;  // the second request: the system's own handling ends the process
    }
    RequestPending.store(true);
    SetEvent(WakeEvent());
    return TRUE;
}

}  // namespace

bool CatchInterruptRequests() noexcept
{
    if (Caught.load()) {
        return true;
    }
    if (WakeEvent() == nullptr || SetConsoleCtrlHandler(OnConsoleControl, TRUE) == FALSE) {
        return false;
    }
    RequestCaught.store(false);
    RequestPending.store(false);
    ResetEvent(WakeEvent());
    Caught.store(true);
    return true;
}

bool WaitForInterruptRequest() noexcept
{
    if (WakeEvent() == nullptr) {
        return false;
    }
    WaitForSingleObject(WakeEvent(), INFINITE);
    return RequestPending.exchange(false);
}

void WakeInterruptWait() noexcept
{
    if (WakeEvent() != nullptr) {
        SetEvent(WakeEvent());
    }
}

void ReleaseInterruptRequests() noexcept
{
    if (Caught.exchange(false)) {
        static_cast<void>(SetConsoleCtrlHandler(OnConsoleControl, FALSE));
    }
}

// The console's requests come on a thread of their own and have no
// default to wait for here: nothing is deferred.
TInterruptDeferral::TInterruptDeferral() noexcept = default;

TInterruptDeferral::~TInterruptDeferral() = default;

}  // namespace zarvik12m
