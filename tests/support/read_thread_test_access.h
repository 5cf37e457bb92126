#pragma once

#include <cstdint>
#include <exception>

#include "driver/platform/event.h"
#include "driver/port/read_thread.h"

namespace zarvik12m {

// What only the tests ask of a port's read thread.
struct TReadThreadTestAccess {
    // Waits up to the time given (TEvent::Infinite: no limit) for the
    // thread to end by itself or on request; true when it has.
    static bool WaitForEnd(TReadThread& thread, std::uint32_t milliseconds)
    {
        return thread.FEnded.WaitFor(milliseconds) == TEvent::wrSignaled;
    }

    // The error that ended the thread, once it has ended; null when it
    // ended on request or runs still.
    static std::exception_ptr FatalException(TReadThread& thread)
    {
        return thread.FEnded.WaitFor(0) == TEvent::wrSignaled ? thread.FFatalException : nullptr;
    }
};

}  // namespace zarvik12m
