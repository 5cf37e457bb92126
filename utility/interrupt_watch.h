#pragma once

#include <functional>
#include <memory>

#include "driver/platform/thread.h"

// Ctrl+C during a long command: the first request stops the command in an
// orderly way, the second ends the program at once.

namespace zarvik12m {

// While it lives, the first interrupt request of the user calls the given
// function, once, on a thread of the watch's own; the requests then have
// their usual handling again, so that the next one ends the process at
// once. Requests before and after the watch have their usual handling too.
// One watch at a time, made and destroyed by the main thread.
class TInterruptWatch {
public:
    explicit TInterruptWatch(std::function<void()> onFirstRequest);

    // Waits until a call of the function has returned.
    ~TInterruptWatch();

    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

private:
    void Watch() noexcept;

    std::function<void()> FOnFirstRequest;
    std::unique_ptr<TThread> FWatcher;
};

}  // namespace zarvik12m
