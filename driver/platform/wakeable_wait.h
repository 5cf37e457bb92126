#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "driver/platform/file.h"

namespace zarvik12m {

// The one wait of the Linux-only programs and tests (zarvik12m_linux_support):
// until a file is ready, until the wait is woken (from another thread, or
// by an end signal: SIGINT, SIGTERM, SIGHUP), or until a time has come.
//
// A wake-up is kept: once woken, the wait stays woken, and every later wait
// returns at once. That is what a request to stop wants: whichever wait the
// stopping thread is in, or goes into next, sees it.
//
//     TWakeableWait stop;                         // on the serving thread
//     while (!stop.Wait(line, TWakeableWait::rdReadable, std::nullopt).Woken) {
//         ... read the line ...
//     }
//     stop.Wake();                                // from any thread
class TWakeableWait {
public:
    using TClock = std::chrono::steady_clock;

    enum TWakeSources : std::uint8_t {
        wsWakeOnly,           // Wake() alone
        wsWakeAndEndSignals,  // and SIGINT, SIGTERM, SIGHUP
    };
    enum TReadiness : std::uint8_t { rdReadable, rdWritable };

    // What ended a wait; nothing set: the time came first.
    struct TOutcome {
        bool Woken = false;   // woken, now or before
        bool Ready = false;   // the file can be read or written, as asked
        bool HungUp = false;  // the file reports a hang-up or an error
    };

    // With end signals, they are blocked in the calling thread and taken
    // by the wait instead: make it before any thread starts, so that every
    // thread inherits the mask and none takes them the default way (they
    // stay blocked after the wait has gone). Throws std::system_error when
    // the system gives none of what it needs.
    explicit TWakeableWait(TWakeSources sources = wsWakeOnly);
    ~TWakeableWait() = default;

    TWakeableWait(const TWakeableWait&) = delete;
    TWakeableWait& operator=(const TWakeableWait&) = delete;

    // Wakes the wait, now or at its next call. Safe from any thread and
    // from a signal handler.
    void Wake() const noexcept;

    // Waits for the file (NoFile: for nothing but a wake-up) until the time
    // (none: without limit). A wake-up counts before the file's readiness.
    // Interruptions are waited out. Throws std::system_error when the
    // system cannot wait.
    TOutcome Wait(TNativeFile file, TReadiness readiness, std::optional<TClock::time_point> until);
    TOutcome Wait(std::optional<TClock::time_point> until) { return Wait(NoFile, rdReadable, until); }

    // The end signal that woke the wait, as "SIGINT"; empty when none has.
    [[nodiscard]] std::string EndSignalName() const;

private:
    void TakeEndSignal() noexcept;

    TFileHandle FWakeUp;   // readable once woken
    TFileHandle FSignals;  // the end signals, when taken
    std::atomic<int> FEndSignal{0};
};

}  // namespace zarvik12m
