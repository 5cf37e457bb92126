#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

namespace zarvik12m {

// A thread running one body, with a termination request that the body
// polls. Classes that run a thread own a TThread as their last member, so
// that destroying them stops and joins the thread before anything the body
// uses goes away.
//
// An exception that escapes the body ends the thread and is kept (and
// reported nowhere else): the driver does not read it, the tests do
// (TThreadTestAccess, tests/support).
class TThread {
public:
    enum TThreadPriority : std::uint8_t { tpNormal, tpAboveNormal, tpHighest };

    using TBody = std::function<void(TThread& thread)>;

    // Starts the body at once unless createSuspended; a suspended thread
    // runs only after Start(). Throws std::system_error when the system
    // cannot create the thread.
    explicit TThread(TBody body, bool createSuspended = false, TThreadPriority priority = tpNormal);

    // Asks for termination and waits for the body to end.
    ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // The priority the thread takes when it begins; set it before Start().
    // Raising a priority is a best effort: where the system refuses, the
    // thread runs at normal priority.
    void SetPriority(TThreadPriority priority);

    // Runs a suspended thread; does nothing once it has been started.
    void Start();

    void Terminate() noexcept { FTerminated.store(true, std::memory_order_release); }
    [[nodiscard]] bool Terminated() const noexcept { return FTerminated.load(std::memory_order_acquire); }

    // Waits until the body has ended (at once when it was never started).
    void WaitFor();

    [[nodiscard]] bool Finished() const noexcept { return FFinished.load(std::memory_order_acquire); }

private:
    friend struct TThreadTestAccess;

    void Run();

    TBody FBody;
    TThreadPriority FPriority;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::exception_ptr FFatalException;
    std::thread FThread;
};

}  // namespace zarvik12m
