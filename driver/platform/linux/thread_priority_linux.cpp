#include "driver/platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace zarvik12m {

namespace {

// Nice values of the priorities: one step above normal and the highest
// below real time, as far as an ordinary time-sharing thread goes.
int NiceValueOf(TThread::TThreadPriority priority)
{
    switch (priority) {
    case TThread::tpAboveNormal:
        return -5;
    case TThread::tpHighest:
        return -10;
    case TThread::tpNormal:
        break;
    }
    return 0;
}

}  // namespace

void ApplyCurrentThreadPriority(TThread::TThreadPriority priority) noexcept
{
    if (priority == TThread::tpNormal) {
        return;
    }
    // A thread's nice value is per thread on Linux; without the privilege
    // to raise it the call fails, and the thread stays at normal priority.
    static_cast<void>(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), NiceValueOf(priority)));
}

}  // namespace zarvik12m
