#include <thread>

#include "driver/port/com_port.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/rx_command_thread.h"
#include "driver/processing/tx_command_thread.h"

namespace zarvik12m {

namespace {

// Waits, without sleeping, until a new command thread reports itself
// running. A thread that ended before it could be seen running (its start
// entry failed) ends the wait too: it will never report.
void AwaitStarted(const TCommandEncoder& encoder, bool (TCommandEncoder::*started)() const noexcept,
                  const TThread& thread)
{
    while (!(encoder.*started)() && !thread.Finished()) {
        std::this_thread::yield();
    }
}

// Clears a queue under its lock, logging every entry it still holds.
template <typename TQueue>
void ClearQueue(TQueue& queue) noexcept
{
    try {
        const TCriticalSection::TGuard lock(queue);
        queue.Clear();
    } catch (...) {  // NOLINT(bugprone-empty-catch): a failing log cannot stop the engine's release
    }
}

}  // namespace

TCommandEncoder::~TCommandEncoder()
{
    Stop();
    ClearQueue(*FRXQueue);
    FRXQueue.reset();
    ClearQueue(*FTXQueue);
    FTXQueue.reset();
    FPort.reset();
    // The log and the ID generator go with the members, in that order.
}

void TCommandEncoder::Start(std::int32_t baudRate)
{
    // Threads of an earlier start would otherwise be left running on the
    // port about to be reopened.
    Stop();
    const TPortSettings settings{static_cast<std::uint32_t>(baudRate), 0, 8, 0};
    FPort->Open(settings, true);
    FTXThread = std::make_unique<TTXCommandThread>(*this);
    AwaitStarted(*this, &TCommandEncoder::TXStarted, FTXThread->Thread());
    FRXThread = std::make_unique<TRXCommandThread>(*this);
    AwaitStarted(*this, &TCommandEncoder::RXStarted, FRXThread->Thread());
}

void TCommandEncoder::Stop() noexcept
{
    FRXThread.reset();
    FTXThread.reset();
    FPort->Close();
}

void TCommandEncoder::ExecuteCommand(std::uint8_t netNumber, std::uint8_t commandNumber, TCommandDataPtr& responseData,
                                     std::uint8_t& responseNumber, const TCommandData* requestData)
{
    responseNumber = 0;
    responseData.reset();
    const TCommand request = InitCommand(commandNumber, netNumber);
    CopyData(commandNumber, requestData, request.Data.get());

    try {
        {
            const TCriticalSection::TGuard lock(*FTXQueue);
            FTXQueue->Enqueue(request);
        }
        if (request.Event->WaitFor(AnswerTimeout) == TEvent::wrSignaled) {
            TCommand answer;
            {
                const TCriticalSection::TGuard lock(*FRXQueue);
                answer = FRXQueue->FindByID(request.ID);
            }
            if (answer.ID != 0) {
                TCommandDataPtr data = AllocData(answer.CommandNumber);
                CopyData(answer.CommandNumber, answer.Data.get(), data.get());
                {
                    const TCriticalSection::TGuard lock(*FRXQueue);
                    FRXQueue->Delete(answer.ID);
                }
                responseNumber = answer.CommandNumber;
                responseData = std::move(data);
            }
        }
        const TCriticalSection::TGuard lock(*FTXQueue);
        FTXQueue->Delete(request.ID);
    } catch (...) {
        // The request leaves the queue also when something failed after it
        // went in, its own removal included. It goes before its log entry
        // is tried: when the error is the log's, that entry fails too, and a
        // request left behind would be sent at the transmit thread's next
        // wake-up. The first error is the one the caller gets.
        const TCriticalSection::TGuard lock(*FTXQueue);
        FTXQueue->Discard(request.ID);
        throw;
    }
}

}  // namespace zarvik12m
