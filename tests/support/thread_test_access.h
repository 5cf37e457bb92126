#pragma once

#include <exception>

#include "driver/platform/thread.h"

namespace zarvik12m {

// What only the tests read of a thread.
struct TThreadTestAccess {
    // What ended the body, once WaitFor() has returned; null when the body
    // returned normally.
    static std::exception_ptr FatalException(const TThread& thread) { return thread.FFatalException; }
};

}  // namespace zarvik12m
