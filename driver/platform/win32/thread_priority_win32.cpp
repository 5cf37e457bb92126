#include "driver/platform/thread_priority.h"

#include <windows.h>

namespace zarvik12m {

void ApplyCurrentThreadPriority(TThread::TThreadPriority priority) noexcept
{
    switch (priority) {
    case TThread::tpAboveNormal:
        static_cast<void>(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL));
        break;
    case TThread::tpHighest:
        static_cast<void>(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST));
        break;
    case TThread::tpNormal:
        break;
    }
}

}  // namespace zarvik12m
