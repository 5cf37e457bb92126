#include "driver/platform/event.h"

#include <windows.h>

#include <system_error>

namespace zarvik12m {

struct TEvent::TSystemState {
    HANDLE Handle = nullptr;
};

TEvent::TEvent(TResetMode resetMode, bool initiallySignaled) : FState(std::make_unique<TSystemState>())
{
    FState->Handle =
        CreateEventA(nullptr, resetMode == rmManualReset ? TRUE : FALSE, initiallySignaled ? TRUE : FALSE, nullptr);
    if (FState->Handle == nullptr) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEventA");
    }
}

TEvent::~TEvent()
{
    CloseHandle(FState->Handle);
}

void TEvent::SetEvent()
{
    ::SetEvent(FState->Handle);
}

void TEvent::ResetEvent()
{
    ::ResetEvent(FState->Handle);
}

TEvent::TWaitResult TEvent::WaitFor(std::uint32_t milliseconds)
{
    static_assert(Infinite == INFINITE);
    return WaitForSingleObject(FState->Handle, milliseconds) == WAIT_OBJECT_0 ? wrSignaled : wrTimeout;
}

}  // namespace zarvik12m
