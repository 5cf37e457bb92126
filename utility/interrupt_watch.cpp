#include "utility/interrupt_watch.h"

#include <utility>

#include "driver/platform/interrupt_requests.h"

namespace zarvik12m {

TInterruptWatch::TInterruptWatch(std::function<void()> onFirstRequest) : FOnFirstRequest(std::move(onFirstRequest))
{
    // Where the requests cannot be caught, they keep ending the program.
    if (!CatchInterruptRequests()) {
        return;
    }
    try {
        FWatcher = std::make_unique<TThread>([this](TThread&) { Watch(); });
    } catch (...) {
        ReleaseInterruptRequests();
        throw;
    }
}

TInterruptWatch::~TInterruptWatch()
{
    if (FWatcher) {
        WakeInterruptWait();
        FWatcher.reset();
        ReleaseInterruptRequests();
    }
}

void TInterruptWatch::Watch() noexcept
{
    if (WaitForInterruptRequest()) {
        FOnFirstRequest();
        ReleaseInterruptRequests();
    }
}

}  // namespace zarvik12m
