#include "tools/probe/line_probe.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

#include "driver/port/port_settings.h"
#include "tools/probe/serial_devices.h"

namespace zarvik12m::probe {

namespace {

constexpr std::uint8_t ProbePort = 1;
constexpr std::uint8_t SerialNumberQuery = 58;
constexpr std::uint8_t SerialNumberAnswer = 24;

TByteSet EveryNetNumber()
{
    TByteSet numbers;
    for (std::size_t n = 1; n <= 99; ++n) {
        numbers.set(n);
    }
    return numbers;
}

// Everything the port has received so far, left in its queue.
std::vector<std::uint8_t> Received(TReadQueue& queue)
{
    const TCriticalSection::TGuard guard(queue);
    std::vector<std::uint8_t> bytes(queue.Count());
    queue.Peek(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace

TTryResult ClassifyAnswer(TFrameCodec& decoder, std::span<const std::uint8_t> bytes, std::uint8_t netNumber)
{
    TTryResult result;
    result.BytesReceived = bytes.size();
    bool frames = false;
    bool garbage = false;
    for (std::size_t position = 0; position < bytes.size();) {
        TCommand command;
        std::uint16_t length = 0;
        const auto offered = bytes.subspan(position, std::min<std::size_t>(bytes.size() - position, MaxFrameLength));
        if (!decoder.DecodeFrame(command, offered, length)) {
            garbage = true;
            ++position;
            continue;
        }
        position += length;
        if (command.CommandNumber == SerialNumberAnswer && command.NetNumber == netNumber) {
            result.Kind = TTryResult::tkFound;
            result.SerialNumber = DataAs<TRX_SERIAL_NUMBER_DataIn>(command).SerialNumber.Str();
            return result;
        }
        frames = true;
        if (command.CommandNumber == SerialNumberAnswer && result.OtherNetNumber == 0) {
            result.OtherNetNumber = command.NetNumber;
        }
    }
    if (frames) {
        result.Kind = TTryResult::tkOtherFrames;
    } else if (garbage) {
        result.Kind = TTryResult::tkGarbage;
    }
    return result;
}

std::uint32_t LineMilliseconds(std::uint32_t baudRate)
{
    const std::uint64_t bits = (RequestBytes + AnswerBytes) * 10U * 1000U;
    return static_cast<std::uint32_t>((bits + baudRate - 1) / baudRate);
}

TLineProbe::TLineProbe() : FCoder(std::make_unique<TFrameCodec>(ProbePort, EveryNetNumber())) {}

TLineProbe::~TLineProbe()
{
    Close();
}

void TLineProbe::Open(const std::string& path, std::uint32_t baudRate)
{
    Close();
    FPort = std::make_unique<TCOMPort>(ProbePort, OpenablePath(path));
    TPortSettings settings;
    settings.BaudRate = baudRate;
    FPort->Open(settings, true);
    FBaudRate = baudRate;
}

void TLineProbe::Close() noexcept
{
    FPort.reset();
}

TSystemError TLineProbe::DeviceError() const
{
    return FPort ? FPort->DeviceError() : TSystemError{};
}

void TLineProbe::Discard()
{
    FPort->Purge();
    TReadQueue& queue = FPort->InputQueue();
    const TCriticalSection::TGuard guard(queue);
    queue.Remove(queue.Count());
}

TTryResult TLineProbe::Try(std::uint8_t netNumber, std::uint32_t waitMilliseconds)
{
    using TClock = std::chrono::steady_clock;
    Discard();
    TCommand request = FCoder->InitCommand(SerialNumberQuery, netNumber);
    std::array<std::uint8_t, MaxFrameLength> frame{};
    const std::uint8_t length = FCoder->EncodeFrame(request, frame);
    FPort->Write(frame.data(), length);

    const TClock::time_point deadline =
        TClock::now() + std::chrono::milliseconds(LineMilliseconds(FBaudRate) + waitMilliseconds);
    TReadQueue& queue = FPort->InputQueue();
    for (;;) {
        TTryResult result = ClassifyAnswer(*FCoder, Received(queue), netNumber);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (result.Kind == TTryResult::tkFound || left <= 0) {
            return result;
        }
        static_cast<void>(queue.DataEvent().WaitFor(static_cast<std::uint32_t>(left)));
    }
}

}  // namespace zarvik12m::probe
