// SIGINT, SIGTERM and SIGHUP as interrupt requests. The handler does only what a
// signal handler may: it flips a lock-free atomic flag and writes one byte
// into a pipe (or, for a second request, restores the default action and
// raises the signal again, which then ends the process once the handler has
// returned). Everything else, the stop request to the library included,
// happens on the thread that waits on the pipe.

#include "driver/platform/interrupt_requests.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>

namespace zarvik12m {

namespace {

constexpr std::array<int, 3> RequestSignals = {SIGINT, SIGTERM, SIGHUP};

constexpr char RequestByte = 'r';
constexpr char WakeByte = 'w';

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// Set by the handler on the first request.
std::atomic<bool> RequestCaught{false};

// The pipe from the handler (and WakeInterruptWait) to the waiting thread.
// Made once and never closed: a handler already running on some thread
// may still write to it after the release.
std::array<int, 2> WakePipe = {-1, -1};

// What the requests did before they were caught; used by the main thread
// and by the waiting thread, one after the other.
struct TCaughtSignal {
    bool Caught = false;
    struct sigaction Previous {};
};
using TCaughtSignals = std::array<TCaughtSignal, RequestSignals.size()>;
TCaughtSignals CaughtSignals{};

// Puts the handler on each request signal that is not ignored, every
// request signal blocked while it runs, and keeps in `caught` what it
// replaced.
void CatchRequestSignals(void (*handler)(int), TCaughtSignals& caught) noexcept
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : RequestSignals) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& signal = caught[i];
        signal.Caught = false;
        if (::sigaction(RequestSignals[i], nullptr, &signal.Previous) != 0 || signal.Previous.sa_handler == SIG_IGN) {
            continue;
        }
        signal.Caught = ::sigaction(RequestSignals[i], &action, nullptr) == 0;
    }
}

// Puts back what CatchRequestSignals replaced.
void RestoreRequestSignals(TCaughtSignals& caught) noexcept
{
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& signal = caught[i];
        if (signal.Caught) {
            static_cast<void>(::sigaction(RequestSignals[i], &signal.Previous, nullptr));
            signal.Caught = false;
        }
    }
}

extern "C" void OnRequestSignal(int signalNumber)
{
    const int savedError = errno;
    if (RequestCaught.exchange(true)) {
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        static_cast<void>(::sigaction(signalNumber, &byDefault, nullptr));
        static_cast<void>(::raise(signalNumber));
    } else {
        static_cast<void>(::write(WakePipe[1], &RequestByte, 1));
    }
    errno = savedError;
}

// The first request that came while deferred, or 0.
std::atomic<int> DeferredSignal{0};
std::atomic<bool> Deferring{false};
TCaughtSignals DeferredFrom{};

extern "C" void OnDeferredSignal(int signalNumber)
{
    int none = 0;
    DeferredSignal.compare_exchange_strong(none, signalNumber);
}

bool MakeWakePipe() noexcept
{
    if (WakePipe[0] >= 0) {
        // Left from an earlier catch: whatever it still holds is stale.
        char byte = 0;
        while (::read(WakePipe[0], &byte, 1) > 0) {
        }
        return true;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    WakePipe = {ends[0], ends[1]};
    return true;
}

}  // namespace

bool CatchInterruptRequests() noexcept
{
    if (!MakeWakePipe()) {
        return false;
    }
    RequestCaught.store(false);
    CatchRequestSignals(OnRequestSignal, CaughtSignals);
    return true;
}

bool WaitForInterruptRequest() noexcept
{
    for (;;) {
        pollfd watched{WakePipe[0], POLLIN, 0};
        if (::poll(&watched, 1, -1) < 0 && errno != EINTR) {
            return false;
        }
        char byte = 0;
        const ssize_t count = ::read(WakePipe[0], &byte, 1);
        if (count == 1) {
            return byte == RequestByte;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
    }
}

void WakeInterruptWait() noexcept
{
    static_cast<void>(::write(WakePipe[1], &WakeByte, 1));
}

void ReleaseInterruptRequests() noexcept
{
    RestoreRequestSignals(CaughtSignals);
}

TInterruptDeferral::TInterruptDeferral() noexcept
{
    if (Deferring.exchange(true)) {
        return;
    }
    FActive = true;
    DeferredSignal.store(0);
    CatchRequestSignals(OnDeferredSignal, DeferredFrom);
}

TInterruptDeferral::~TInterruptDeferral()
{
    if (!FActive) {
        return;
    }
    RestoreRequestSignals(DeferredFrom);
    Deferring.store(false);
    if (const int signalNumber = DeferredSignal.exchange(0); signalNumber != 0) {
        static_cast<void>(::raise(signalNumber));
    }
}

}  // namespace zarvik12m
