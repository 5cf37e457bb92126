#include "driver/processing/tx_command_thread.h"

#include "driver/common/cp1251.h"
#include "driver/common/date_time.h"
#include "driver/port/com_port.h"
#include "driver/processing/command_encoder.h"
#include "driver/processing/command_queues.h"
#include "driver/processing/command_thread_run.h"

namespace zarvik12m {

namespace {

// How often an idle thread looks at its termination request.
constexpr std::uint32_t IdleWait = 1000;

}  // namespace

TTXCommandThread::TTXCommandThread(TCommandEncoder& encoder)
    : FEncoder(encoder), FThread([this](TThread& thread) { Execute(thread); }, true, TThread::tpAboveNormal)
{
    FThread.Start();
}

TTXCommandThread::~TTXCommandThread()
{
    FThread.Terminate();
    // Wakes an idle thread at once rather than at its next look at the
    // termination request: an exported call should not linger a second
    // after its last exchange.
    FEncoder.TXQueue().QueueEvent().SetEvent();
    FThread.WaitFor();
}

void TTXCommandThread::Execute(TThread& thread)
{
    RunCommandThread(FEncoder, &TCommandEncoder::SetTXStarted, "Выходной поток команд: Запущен"_cp1251,
                     "Выходной поток команд: Остановлен"_cp1251, [this, &thread] { Loop(thread); });
}

void TTXCommandThread::Loop(const TThread& thread)
{
    TTXCommandQueue& queue = FEncoder.TXQueue();
    while (!thread.Terminated()) {
        // Nothing is looked at without a signal: every Enqueue sets the
        // event, one wake-up handles one command.
        if (queue.QueueEvent().WaitFor(IdleWait) != TEvent::wrSignaled) {
            continue;
        }
        if (thread.Terminated()) {
            break;
        }
        TCommand command;
        {
            const TCriticalSection::TGuard lock(queue);
            command = queue.FindByState(csCreated);
        }
        if (thread.Terminated()) {
            break;
        }
        Send(command);
    }
}

void TTXCommandThread::Send(TCommand& command)
{
    if (command.CommandType == ctServerCommand) {
        SendServerCommand(command);
    } else if (command.CommandType == ctServerResponse) {
        SendServerResponse(command);
    }
}

void TTXCommandThread::WriteFrame(const TCommand& command)
{
    const std::uint8_t length = FEncoder.EncodeFrame(command, FFrameBuffer);
    FEncoder.Port().Write(FFrameBuffer.data(), length);
}

void TTXCommandThread::SendServerCommand(TCommand& command)
{
    // The frame is checked before anything changes: a command that cannot
    // be encoded ends the thread while still in its created state.
    const std::uint8_t length = FEncoder.EncodeFrame(command, FFrameBuffer);
    // The command counts as sent before its bytes leave: a register that
    // answers while the write call is still returning (an adapter, a fast
    // peer) must find it waiting for its answer, or the answer would be
    // taken for a stray one and the caller would wait in vain. What has
    // been received by now cannot be its answer (see the receive thread).
    {
        TReadQueue& input = FEncoder.Port().InputQueue();
        const TCriticalSection::TGuard lock(input);
        command.InputMark = input.ReceivedTotal();
    }
    command.State = csProcessed;
    command.StateTime = Now();
    {
        TTXCommandQueue& queue = FEncoder.TXQueue();
        const TCriticalSection::TGuard lock(queue);
        queue.Update(command);
    }
    FEncoder.Port().Write(FFrameBuffer.data(), length);
}

void TTXCommandThread::SendServerResponse(TCommand& response)
{
    TCommand request;
    {
        TRXCommandQueue& queue = FEncoder.RXQueue();
        const TCriticalSection::TGuard lock(queue);
        request = queue.FindMatch(csProcessed, response.NetNumber, response.ProtocolCommand);
    }
    if (request.ID != 0) {
        WriteFrame(response);
        request.State = csConfirmed;
        request.StateTime = Now();
        TRXCommandQueue& queue = FEncoder.RXQueue();
        const TCriticalSection::TGuard lock(queue);
        queue.Update(request);
        return;
    }
    // A driver answer with no register request waiting for it is not sent.
    response.State = csUndefined;
    response.StateTime = Now();
    TTXCommandQueue& queue = FEncoder.TXQueue();
    const TCriticalSection::TGuard lock(queue);
    queue.Update(response);
}

}  // namespace zarvik12m
