#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "driver/platform/event.h"
#include "driver/platform/thread.h"
#include "utility/command_line.h"
#include "utility/console.h"
#include "utility/zarvik12m_dll.h"
#include "zarvik12m/goods.h"

// The worker threads of the long commands: each runs one export of the
// library while the main thread draws the progress bar from the library's
// progress position. A worker prints the library's error itself; the main
// thread then takes the outcome, Succeeded, from it.

namespace zarvik12m {

inline constexpr std::uint8_t ProgressBarWidth = 60;
inline constexpr std::uint32_t ProgressRedrawMilliseconds = 100;

class TGoodsThread {
public:
    TGoodsThread(const TGoodsThread&) = delete;
    TGoodsThread& operator=(const TGoodsThread&) = delete;

    // Set by the worker as the very last step of its work.
    [[nodiscard]] bool Terminated() const noexcept { return FThread.Terminated(); }

    // True once the export has returned without an error; meaningful after
    // Terminated() has been seen true (whose acquire pairs with the
    // worker's release).
    [[nodiscard]] bool Succeeded() const noexcept { return FSucceeded.load(std::memory_order_relaxed); }

    // The library's progress position of the worker's port.
    [[nodiscard]] std::int32_t GetPosition() const noexcept { return FDll.GetProgressPosition(FPort); }

    // Waits until the worker has terminated or the time has passed.
    void WaitForTermination(std::uint32_t milliseconds) { static_cast<void>(FTerminatedEvent.WaitFor(milliseconds)); }

protected:
    using TExportCall = std::function<void()>;

    // Starts the worker at once.
    TGoodsThread(const TZarvik12mDll& dll, TConsole& console, std::uint8_t port, TExportCall exportCall);

    // Waits until the thread has finished.
    ~TGoodsThread() = default;

private:
    void Execute(TThread& thread) noexcept;
    void Report(std::string_view message) noexcept;

    const TZarvik12mDll& FDll;
    TConsole& FConsole;
    std::uint8_t FPort;
    TExportCall FExportCall;
    std::atomic<bool> FSucceeded{false};
    TEvent FTerminatedEvent{TEvent::rmManualReset};
    TThread FThread;  // last: destroyed (joined) first
};

// LoadGoods into the goods and their count, which the main thread must not
// touch until the worker has been destroyed.
class TLoadGoodsThread final : public TGoodsThread {
public:
    TLoadGoodsThread(const TZarvik12mDll& dll, TConsole& console, const TPluParameters& parameters,
                     TZarvik12m_Goods& goods, std::uint16_t& count);
};

// WriteGoods of the first count goods, which stay unchanged meanwhile.
class TWriteGoodsThread final : public TGoodsThread {
public:
    TWriteGoodsThread(const TZarvik12mDll& dll, TConsole& console, const TPluParameters& parameters,
                      const TZarvik12m_Goods& goods, std::uint16_t count);
};

// The user's request to stop a worker's export before its next command
// (ProgressProcessStop of the worker's port). The library drops a stop
// asked for before its export has begun, so the progress display asks
// again while the request stands.
class TStopRequest {
public:
    TStopRequest(const TZarvik12mDll& dll, std::uint8_t port) noexcept : FDll(dll), FPort(port) {}

    void Request() noexcept
    {
        FRequested.store(true, std::memory_order_relaxed);
        FDll.ProgressProcessStop(FPort);
    }

    void Renew() const noexcept
    {
        if (FRequested.load(std::memory_order_relaxed)) {
            FDll.ProgressProcessStop(FPort);
        }
    }

private:
    const TZarvik12mDll& FDll;
    std::uint8_t FPort;
    std::atomic<bool> FRequested{false};
};

// Redraws the progress bar against the maximum every 100 ms (or sooner
// when the worker ends), renewing a stop request each time, until the
// worker has terminated; the worker's Succeeded. A worker that terminates
// before the first test leaves no bar.
bool ShowProgress(TGoodsThread& worker, std::int32_t maximum, TConsole& console, const TStopRequest& stop);

}  // namespace zarvik12m
