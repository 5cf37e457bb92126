#include "driver/platform/event.h"

#include <cerrno>
#include <ctime>
#include <system_error>

namespace zarvik12m {

namespace {

void Check(int result, const char* what)
{
    if (result != 0) {
        throw std::system_error(result, std::generic_category(), what);
    }
}

timespec DeadlineAfter(std::uint32_t milliseconds)
{
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000U);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000U) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

class TMutexLock {
public:
    explicit TMutexLock(pthread_mutex_t& mutex) : FMutex(mutex) { pthread_mutex_lock(&FMutex); }
    ~TMutexLock() { pthread_mutex_unlock(&FMutex); }
    TMutexLock(const TMutexLock&) = delete;
    TMutexLock& operator=(const TMutexLock&) = delete;

private:
    pthread_mutex_t& FMutex;
};

}  // namespace

TEvent::TEvent(TResetMode resetMode, bool initiallySignaled) : FResetMode(resetMode), FSignaled(initiallySignaled)
{
    Check(pthread_mutex_init(&FMutex, nullptr), "pthread_mutex_init");
    pthread_condattr_t attributes{};
    int result = pthread_condattr_init(&attributes);
    if (result == 0) {
        result = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        if (result == 0) {
            result = pthread_cond_init(&FCondition, &attributes);
        }
        pthread_condattr_destroy(&attributes);
    }
    if (result != 0) {
        pthread_mutex_destroy(&FMutex);
        Check(result, "pthread_cond_init");
    }
}

TEvent::~TEvent()
{
    pthread_cond_destroy(&FCondition);
    pthread_mutex_destroy(&FMutex);
}

void TEvent::SetEvent()
{
    const TMutexLock lock(FMutex);
    FSignaled = true;
    if (FResetMode == rmAutoReset) {
        pthread_cond_signal(&FCondition);
    } else {
        pthread_cond_broadcast(&FCondition);
    }
}

void TEvent::ResetEvent()
{
    const TMutexLock lock(FMutex);
    FSignaled = false;
}

TEvent::TWaitResult TEvent::WaitFor(std::uint32_t milliseconds)
{
    const timespec deadline = milliseconds == Infinite ? timespec{} : DeadlineAfter(milliseconds);
    const TMutexLock lock(FMutex);
    while (!FSignaled) {
        if (milliseconds == Infinite) {
            pthread_cond_wait(&FCondition, &FMutex);
        } else if (pthread_cond_timedwait(&FCondition, &FMutex, &deadline) == ETIMEDOUT) {
            if (!FSignaled) {
                return wrTimeout;
            }
            break;
        }
    }
    if (FResetMode == rmAutoReset) {
        FSignaled = false;
    }
    return wrSignaled;
}

}  // namespace zarvik12m
