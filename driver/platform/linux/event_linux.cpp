#include "driver/platform/event.h"

#include <pthread.h>

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

struct TEvent::TSystemState {
    TSystemState(TResetMode resetMode, bool initiallySignaled) : ResetMode(resetMode), Signaled(initiallySignaled) {}

    pthread_mutex_t Mutex{};
    pthread_cond_t Condition{};
    TResetMode ResetMode;
    bool Signaled;
};

TEvent::TEvent(TResetMode resetMode, bool initiallySignaled)
    : FState(std::make_unique<TSystemState>(resetMode, initiallySignaled))
{
    pthread_mutex_t& mutex = FState->Mutex;
    pthread_cond_t& condition = FState->Condition;
    Check(pthread_mutex_init(&mutex, nullptr), "pthread_mutex_init");
    pthread_condattr_t attributes{};
    int result = pthread_condattr_init(&attributes);
    if (result == 0) {
        result = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        if (result == 0) {
            result = pthread_cond_init(&condition, &attributes);
        }
        pthread_condattr_destroy(&attributes);
    }
    if (result != 0) {
        pthread_mutex_destroy(&mutex);
        Check(result, "pthread_cond_init");
    }
}

TEvent::~TEvent()
{
    pthread_mutex_t& mutex = FState->Mutex;
    pthread_cond_t& condition = FState->Condition;
    pthread_cond_destroy(&condition);
    pthread_mutex_destroy(&mutex);
}

void TEvent::SetEvent()
{
    TSystemState& state = *FState;
    const TMutexLock lock(state.Mutex);
    state.Signaled = true;
    if (state.ResetMode == rmAutoReset) {
        pthread_cond_signal(&state.Condition);
    } else {
        pthread_cond_broadcast(&state.Condition);
    }
}

void TEvent::ResetEvent()
{
    TSystemState& state = *FState;
    const TMutexLock lock(state.Mutex);
    state.Signaled = false;
}

TEvent::TWaitResult TEvent::WaitFor(std::uint32_t milliseconds)
{
    TSystemState& state = *FState;
    const timespec deadline = milliseconds == Infinite ? timespec{} : DeadlineAfter(milliseconds);
    const TMutexLock lock(state.Mutex);
    while (!state.Signaled) {
        if (milliseconds == Infinite) {
            pthread_cond_wait(&state.Condition, &state.Mutex);
        } else if (pthread_cond_timedwait(&state.Condition, &state.Mutex, &deadline) == ETIMEDOUT) {
            if (!state.Signaled) {
                return wrTimeout;
            }
            break;
        }
    }
    if (state.ResetMode == rmAutoReset) {
        state.Signaled = false;
    }
    return wrSignaled;
}

}  // namespace zarvik12m
