#pragma once

#include <cstdint>
#include <memory>

namespace zarvik12m {

// An event object: signalled or not, with timed waits. An auto-reset event
// releases one waiter per set and becomes unsignalled as that waiter leaves;
// a manual-reset event stays signalled, releasing every waiter, until it is
// reset. A set with nobody waiting is kept for the next wait.
class TEvent {
public:
    enum TResetMode : std::uint8_t { rmAutoReset, rmManualReset };
    enum TWaitResult : std::uint8_t { wrSignaled, wrTimeout };

    static constexpr std::uint32_t Infinite = 0xFFFFFFFFU;

    explicit TEvent(TResetMode resetMode = rmAutoReset, bool initiallySignaled = false);
    ~TEvent();

    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();

    // Waits until the event is signalled or the time has passed (Infinite:
    // no limit). Time is measured on the monotonic clock.
    TWaitResult WaitFor(std::uint32_t milliseconds);

private:
    struct TSystemState;  // the system's own objects, defined per system
    std::unique_ptr<TSystemState> FState;
};

}  // namespace zarvik12m
