#pragma once

#include <mutex>

namespace zarvik12m {

// A lock that objects derive from to be their own lock: callers acquire it
// around each operation on the object (TCriticalSection::TGuard releases it
// also when the operation throws).
class TCriticalSection {
public:
    TCriticalSection() = default;
    ~TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Acquire() { FMutex.lock(); }
    void Release() { FMutex.unlock(); }

    // The standard lock interface, so that std::lock_guard and friends work.
    void lock() { Acquire(); }
    void unlock() { Release(); }

    class TGuard {
    public:
        explicit TGuard(TCriticalSection& section) : FSection(section) { FSection.Acquire(); }
        ~TGuard() { FSection.Release(); }
        TGuard(const TGuard&) = delete;
        TGuard& operator=(const TGuard&) = delete;

    private:
        TCriticalSection& FSection;
    };

private:
    std::mutex FMutex;
};

}  // namespace zarvik12m
