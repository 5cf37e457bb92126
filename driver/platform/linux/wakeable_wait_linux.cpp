// The wakeable wait on Linux: ppoll on an eventfd that stays readable once
// written, a signalfd for the end signals and the file waited for.

#include "driver/platform/wakeable_wait.h"

#include <poll.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigset_t and pthread_sigmask
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "driver/platform/linux_support.h"

namespace zarvik12m {

namespace {

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

timespec ToTimespec(TWakeableWait::TClock::duration duration)
{
    const auto clamped = std::max(duration, TWakeableWait::TClock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clamped);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(clamped - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

TFileHandle TakeEndSignals()
{
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGHUP);
    const int result = pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    if (result != 0) {
        throw std::system_error(result, std::generic_category(), "pthread_sigmask");
    }
    TFileHandle signals(NativeFileOf(signalfd(-1, &endSignals, SFD_CLOEXEC | SFD_NONBLOCK)));
    if (!signals.IsOpen()) {
        ThrowSystemError("signalfd");
    }
    return signals;
}

}  // namespace

TWakeableWait::TWakeableWait(TWakeSources sources) : FWakeUp(NativeFileOf(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)))
{
    if (!FWakeUp.IsOpen()) {
        ThrowSystemError("eventfd");
    }
    if (sources == wsWakeAndEndSignals) {
        FSignals = TakeEndSignals();
    }
}

void TWakeableWait::Wake() const noexcept
{
    const std::uint64_t one = 1;
    // Nobody reads the counter, so it is never drained; one write per
    // wake-up cannot fill it. A failed write leaves the wait as it was.
    static_cast<void>(::write(Descriptor(FWakeUp.Get()), &one, sizeof one));
}

TWakeableWait::TOutcome TWakeableWait::Wait(TNativeFile file, TReadiness readiness,
                                            std::optional<TClock::time_point> until)
{
    const short wanted = readiness == rdReadable ? POLLIN : POLLOUT;
    // poll skips the entries of a negative descriptor.
    pollfd watched[3] = {
        {Descriptor(FWakeUp.Get()), POLLIN, 0}, {Descriptor(FSignals.Get()), POLLIN, 0}, {Descriptor(file), wanted, 0}};
    for (;;) {
        timespec timeout{};
        if (until) {
            timeout = ToTimespec(*until - TClock::now());
        }
        if (ppoll(watched, 3, until ? &timeout : nullptr, nullptr) >= 0) {
            break;
        }
        if (errno != EINTR) {
            ThrowSystemError("ppoll");
        }
    }
    if ((watched[1].revents & POLLIN) != 0) {
        TakeEndSignal();
    }
    TOutcome outcome;
    outcome.Woken = watched[0].revents != 0 || watched[1].revents != 0;
    outcome.Ready = (watched[2].revents & wanted) != 0;
    outcome.HungUp = (watched[2].revents & (POLLHUP | POLLERR)) != 0;
    return outcome;
}

// The signal is read off the descriptor (which stops being readable), so
// the wake-up keeps it.
void TWakeableWait::TakeEndSignal() noexcept
{
    signalfd_siginfo received{};
    if (::read(Descriptor(FSignals.Get()), &received, sizeof received) == static_cast<ssize_t>(sizeof received)) {
        int none = 0;
        FEndSignal.compare_exchange_strong(none, static_cast<int>(received.ssi_signo));
    }
    Wake();
}

std::string TWakeableWait::EndSignalName() const
{
    const int signal = FEndSignal.load();
    const char* name = signal == 0 ? nullptr : sigabbrev_np(signal);
    return name == nullptr ? std::string() : "SIG" + std::string(name);
}

}  // namespace zarvik12m
