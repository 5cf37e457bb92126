#include "driver/port/read_thread.h"

#include <system_error>

#include "driver/common/errors.h"
#include "driver/port/com_port.h"

namespace zarvik12m {

TReadThread::TReadThread(TCOMPort& port)
    : FPort(port),
      FThread(
          [this](TThread& thread) {
              try {
                  Execute(thread);
              } catch (...) {
                  FFatalException = std::current_exception();
              }
              FEnded.SetEvent();
          },
          true, TThread::tpHighest)
{
    try {
        FThread.Start();
    } catch (const std::system_error&) {
        RaiseError(ecReadEventCreate, {PortArgument()});
    }
}

TReadThread::~TReadThread()
{
    FThread.Terminate();
    // Clearing the mask ends the device wait the thread may be in, and any
    // wait it enters later; it then finds termination asked and returns.
    static_cast<void>(FPort.FDevice.SetEventMask(0));
    FThread.WaitFor();
}

std::int64_t TReadThread::PortArgument() const
{
    return FPort.PortNumber();
}

void TReadThread::Execute(TThread& thread)
{
    TSerialDevice& device = FPort.FDevice;
    while (!thread.Terminated()) {
        std::uint32_t events = 0;
        if (!device.WaitEvent(events)) {
            FPort.RaiseDeviceFailure(ecReadEventWait, "wait");
        }
        if (thread.Terminated()) {
            return;
        }
        // The status also fails on a line that is hung up or broken: the
        // adapter was unplugged or the far end went away.
        std::size_t waiting = 0;
        if (!device.ReadStatus(waiting)) {
            FPort.RaiseDeviceFailure(ecReadStatus, "read status");
        }
        if (thread.Terminated()) {
            return;
        }
        if ((events & seReceived) == 0 || waiting == 0) {
            continue;
        }
        if (waiting > ReadBufferSize) {
            RaiseError(ecPortReadBlockTooLarge,
                       {PortArgument(), static_cast<std::int64_t>(waiting), std::int64_t{ReadBufferSize}});
        }
        std::size_t read = 0;
        if (!device.Read(FReadBuffer.data(), waiting, read)) {
            FPort.RaiseDeviceFailure(ecPortReadFailed, "read");
        }
        if (read != waiting) {
            RaiseError(ecPortReadIncomplete,
                       {PortArgument(), static_cast<std::int64_t>(read), static_cast<std::int64_t>(waiting)});
        }
        if (FPort.FTrace) {
            FPort.FTrace->Record(ldFromRegister, FReadBuffer.data(), read);
        }
        if (thread.Terminated()) {
            return;
        }
        TReadQueue& queue = FPort.InputQueue();
        const TCriticalSection::TGuard lock(queue);
        queue.Put(FReadBuffer.data(), read);
    }
}

}  // namespace zarvik12m
