#pragma once

#include "driver/platform/thread.h"

namespace zarvik12m {

// Gives the calling thread the priority, as far as the system lets an
// ordinary process raise it; where it refuses, the thread keeps its own.
void ApplyCurrentThreadPriority(TThread::TThreadPriority priority) noexcept;

}  // namespace zarvik12m
