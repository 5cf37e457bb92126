#include "driver/platform/thread.h"

#include <utility>

#include "driver/platform/thread_priority.h"

namespace zarvik12m {

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
    ApplyCurrentThreadPriority(FPriority);
    try {
        FBody(*this);
    } catch (...) {
        FFatalException = std::current_exception();
    }
    FFinished.store(true, std::memory_order_release);
}

}  // namespace zarvik12m
