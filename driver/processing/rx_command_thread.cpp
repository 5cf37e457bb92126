#include "driver/processing/rx_command_thread.h"

#include <span>

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/port/com_port.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/command_thread_run.h"
#include "driver/protocol/frame_scan.h"

namespace zarvik12m {

namespace {

// How often an idle thread looks at its termination request.
constexpr std::uint32_t IdleWait = 1000;

}  // namespace

TRXCommandThread::TRXCommandThread(TCommandEncoder& encoder)
    : FEncoder(encoder), FThread([this](TThread& thread) { Execute(thread); }, true, TThread::tpAboveNormal)
{
    FThread.Start();
}

TRXCommandThread::~TRXCommandThread()
{
    FThread.Terminate();
    // Wakes an idle thread at once rather than at its next look at the
    // termination request (see the transmit thread).
    FEncoder.Port().InputQueue().DataEvent().SetEvent();
    FThread.WaitFor();
}

void TRXCommandThread::Execute(TThread& thread)
{
    RunCommandThread(FEncoder, &TCommandEncoder::SetRXStarted, "Входной поток команд: Запущен"_cp1251,
                     "Входной поток команд: Остановлен"_cp1251, [this, &thread] { Loop(thread); });
}

void TRXCommandThread::Loop(const TThread& thread)
{
    TReadQueue& input = FEncoder.Port().InputQueue();
    while (!thread.Terminated()) {
        // Bytes that arrive during a pass leave the event set, so the next
        // wait returns at once.
        if (input.DataEvent().WaitFor(IdleWait) != TEvent::wrSignaled) {
            continue;
        }
        if (thread.Terminated()) {
            break;
        }
        const std::uint16_t count = CopyInput(input);
        if (thread.Terminated()) {
            break;
        }
        if (count > 0) {
            ScanForFrames(FEncoder, std::span(FReceiveBuffer).first(count), *this);
        }
    }
}

std::uint16_t TRXCommandThread::CopyInput(TReadQueue& input)
{
    const TCriticalSection::TGuard lock(input);
    const std::uint16_t count = input.Count();
    FPassStart = input.RemovedTotal();
    if (count > 0) {
        input.Peek(FReceiveBuffer.data(), count);
    }
    return count;
}

// One recognised frame of a pass over a fresh copy of the input queue. The
// copy starts where the queue starts and removals always take the queue's
// front, so the two stay aligned while the read thread appends behind.
void TRXCommandThread::OnFrame(std::span<const std::uint8_t> skipped, TCommand& command, std::uint16_t consumed)
{
    if (!skipped.empty()) {
        StoreSkipped(skipped);
    }
    StoreReceived(command, FPassStart + skipped.size());
    RemoveInput(consumed);
    FPassStart += consumed;
}

void TRXCommandThread::StoreSkipped(std::span<const std::uint8_t> skipped)
{
    const TCommand unknown = FEncoder.InitCommand(UnknownCommand, 0);
    TCommandEncoder::DecodeData(unknown, skipped);
    TRXCommandQueue& queue = FEncoder.RXQueue();
    const TCriticalSection::TGuard lock(queue);
    queue.Enqueue(unknown);
}

void TRXCommandThread::StoreReceived(TCommand& command, std::uint64_t frameStart)
{
    TRXCommandQueue& rxQueue = FEncoder.RXQueue();
    if (command.CommandType != ctKKMResponse) {
        // A register request waits in the receive queue for a driver answer.
        const TCriticalSection::TGuard lock(rxQueue);
        rxQueue.Enqueue(command);
        return;
    }
    TTXCommandQueue& txQueue = FEncoder.TXQueue();
    TCommand request;
    {
        const TCriticalSection::TGuard lock(txQueue);
        request = txQueue.FindMatch(csProcessed, command.NetNumber, command.ProtocolCommand);
    }
    if (request.ID != 0 && frameStart < request.InputMark) {
        // The frame began to arrive before the command was sent, so it
        // answers something earlier: a register repeating its last answer
        // must not have that answer taken for the new command's.
        request = TCommand{};
    }
    if (request.ID == 0) {
        command.State = csUndefined;
        command.StateTime = Now();
        const TCriticalSection::TGuard lock(rxQueue);
        rxQueue.Enqueue(command);
        return;
    }
    // The answer is stored under the request's ID before the request is
    // confirmed: the confirmation wakes the caller, who then looks the
    // answer up by that ID.
    command.ID = request.ID;
    command.State = csProcessed;
    command.StateTime = Now();
    {
        const TCriticalSection::TGuard lock(rxQueue);
        rxQueue.Enqueue(command);
    }
    request.State = csConfirmed;
    request.StateTime = Now();
    const TCriticalSection::TGuard lock(txQueue);
    txQueue.Update(request);
}

void TRXCommandThread::RemoveInput(std::uint16_t count)
{
    TReadQueue& input = FEncoder.Port().InputQueue();
    const TCriticalSection::TGuard lock(input);
    input.Remove(count);
}

}  // namespace zarvik12m
