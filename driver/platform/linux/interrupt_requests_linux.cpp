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
std::array<TCaughtSignal, RequestSignals.size()> CaughtSignals{};

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
std::array<TCaughtSignal, RequestSignals.size()> DeferredFrom{};

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
    struct sigaction catcher {};
    catcher.sa_handler = OnRequestSignal;
    catcher.sa_flags = SA_RESTART;
    sigemptyset(&catcher.sa_mask);
    for (const int signalNumber : RequestSignals) {
        sigaddset(&catcher.sa_mask, signalNumber);
    }
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& caught = CaughtSignals[i];
        if (::sigaction(RequestSignals[i], nullptr, &caught.Previous) != 0 || caught.Previous.sa_handler == SIG_IGN) {
            continue;
        }
        caught.Caught = ::sigaction(RequestSignals[i], &catcher, nullptr) == 0;
    }
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
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& caught = CaughtSignals[i];
        if (caught.Caught) {
            static_cast<void>(::sigaction(RequestSignals[i], &caught.Previous, nullptr));
            caught.Caught = false;
        }
    }
}

TInterruptDeferral::TInterruptDeferral() noexcept
{
    if (Deferring.exchange(true)) {
        return;
    }
    FActive = true;
    DeferredSignal.store(0);
    struct sigaction deferrer {};
    deferrer.sa_handler = OnDeferredSignal;
    deferrer.sa_flags = SA_RESTART;
    sigemptyset(&deferrer.sa_mask);
    for (const int signalNumber : RequestSignals) {
        sigaddset(&deferrer.sa_mask, signalNumber);
    }
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& from = DeferredFrom[i];
        from.Caught = false;
        if (::sigaction(RequestSignals[i], nullptr, &from.Previous) != 0 || from.Previous.sa_handler == SIG_IGN) {
            continue;
        }
        from.Caught = ::sigaction(RequestSignals[i], &deferrer, nullptr) == 0;
    }
}

TInterruptDeferral::~TInterruptDeferral()
{
    if (!FActive) {
        return;
    }
    for (std::size_t i = 0; i < RequestSignals.size(); ++i) {
        TCaughtSignal& from = DeferredFrom[i];
        if (from.Caught) {
            static_cast<void>(::sigaction(RequestSignals[i], &from.Previous, nullptr));
            from.Caught = false;
        }
    }
    Deferring.store(false);
    if (const int signalNumber = DeferredSignal.exchange(0); signalNumber != 0) {
        static_cast<void>(::raise(signalNumber));
    }
}

}  // namespace zarvik12m
