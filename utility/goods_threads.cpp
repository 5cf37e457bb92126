#include "utility/goods_threads.h"

#include <exception>
#include <string>
#include <utility>

#include "driver/common/cp1251.h"
#include "utility/progress_bar.h"
#include "zarvik12m/error.h"

namespace zarvik12m {

TGoodsThread::TGoodsThread(const TZarvik12mDll& dll, TConsole& console, std::uint8_t port, TExportCall exportCall)
    : FDll(dll), FConsole(console), FPort(port), FExportCall(std::move(exportCall)), FThread([this](TThread& thread) {
          Execute(thread);
      })
{}

void TGoodsThread::Execute(TThread& thread) noexcept
{
    FSucceeded.store(false, std::memory_order_relaxed);
    // Every exception object from the export is destroyed within its
    // handler here, long before the library is unloaded.
    try {
        FExportCall();
        FSucceeded.store(true, std::memory_order_relaxed);
    } catch (const EZarvik12mError& error) {
        Report(error.what());
    } catch (const std::exception& error) {
        Report(error.what());
    } catch (...) {
        Report(UnknownErrorMessage);
    }
    // Release: Succeeded is visible to whoever sees the flag.
    thread.Terminate();
    FTerminatedEvent.SetEvent();
}

void TGoodsThread::Report(std::string_view message) noexcept
{
    try {
        FConsole.WriteLines({"", message});
    } catch (...) {  // NOLINT(bugprone-empty-catch)
        // Out of memory for the console text: the exit code still tells
        // the failure, and the worker must terminate whatever happens.
    }
}

TLoadGoodsThread::TLoadGoodsThread(const TZarvik12mDll& dll, TConsole& console, const TPluParameters& parameters,
                                   TZarvik12m_Goods& goods, std::uint16_t& count)
    : TGoodsThread(dll, console, parameters.Port(), [&dll, parameters, &goods, &count] {
          dll.LoadGoods(parameters.Port(), parameters.BaudRate, parameters.Net(), goods, count);
      })
{}

TWriteGoodsThread::TWriteGoodsThread(const TZarvik12mDll& dll, TConsole& console, const TPluParameters& parameters,
                                     const TZarvik12m_Goods& goods, std::uint16_t count)
    : TGoodsThread(dll, console, parameters.Port(), [&dll, parameters, &goods, count] {
          dll.WriteGoods(parameters.Port(), parameters.BaudRate, parameters.Net(), goods, count);
      })
{}

bool ShowProgress(TGoodsThread& worker, std::int32_t maximum, TConsole& console, const TStopRequest& stop)
{
    while (!worker.Terminated()) {
        stop.Renew();
        console.WriteProgress(ProgressBar(worker.GetPosition(), maximum, ProgressBarWidth), ProgressBarWidth);
        worker.WaitForTermination(ProgressRedrawMilliseconds);
    }
    return worker.Succeeded();
}

}  // namespace zarvik12m
