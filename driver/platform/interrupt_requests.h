#pragma once

// The user's requests to interrupt the program, as the system delivers them
// (on Linux the signals SIGINT, Ctrl+C at the terminal, SIGTERM, and SIGHUP
// when the terminal goes away). They
// are the process's own: one catcher at a time, the caller being the main
// thread.

namespace zarvik12m {

// From now on a request is caught instead of ending the process; a request
// that the process was started to ignore (a job in the background of a
// script) stays ignored. A second request caught before the release ends
// the process as the system would. False when the requests cannot be
// caught: they keep their handling.
bool CatchInterruptRequests() noexcept;

// Blocks until a request has been caught (true) or the wait has been woken
// (false).
bool WaitForInterruptRequest() noexcept;

// Makes WaitForInterruptRequest return false; any thread may call it.
void WakeInterruptWait() noexcept;

// The handling the process had before it caught the requests, so that the
// next request ends it at once. Does nothing when none are caught.
void ReleaseInterruptRequests() noexcept;

// While it lives, an interrupt request waits: one that comes meanwhile is
// delivered as it goes, to whatever handling the requests have then (the
// default ends the process). For short work that must not be cut off
// half-way, such as the life of a temporary file. One at a time, on the
// main thread; a second one made meanwhile does nothing.
class TInterruptDeferral {
public:
    TInterruptDeferral() noexcept;
    ~TInterruptDeferral();

    TInterruptDeferral(const TInterruptDeferral&) = delete;
    TInterruptDeferral& operator=(const TInterruptDeferral&) = delete;

private:
    bool FActive = false;
};

}  // namespace zarvik12m
