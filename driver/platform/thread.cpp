#include "driver/platform/thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

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

void ApplyPriority(TThread::TThreadPriority priority)
{
    if (priority == TThread::tpNormal) {
        return;
    }
    // A thread's nice value is per thread on Linux; without the privilege
    // to raise it the call fails, and the thread stays at normal priority.
    static_cast<void>(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), NiceValueOf(priority)));
}

}  // namespace

TThread::TThread(TBody body, bool createSuspended, TThreadPriority priority)
    : FBody(std::move(body)), FPriority(priority)
{
    if (!createSuspended) {
        Start();
    }
}

TThread::~TThread()
{
    Terminate();
    WaitFor();
}

void TThread::SetPriority(TThreadPriority priority)
{
    if (!FThread.joinable() && !Finished()) {
        FPriority = priority;
    }
}

void TThread::Start()
{
    if (!FThread.joinable() && !Finished()) {
        FThread = std::thread([this] { Run(); });
    }
}

void TThread::WaitFor()
{
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TThread::Run()
{
    ApplyPriority(FPriority);
    try {
        FBody(*this);
    } catch (...) {
        FFatalException = std::current_exception();
    }
    FFinished.store(true, std::memory_order_release);
}

}  // namespace zarvik12m
