#include "driver/platform/network_device.h"

#include <algorithm>
#include <span>

namespace zarvik12m {

bool TNetworkDevice::Open(const std::string& address)
{
    const std::optional<TNetworkAddress> parsed = ParseNetworkAddress(address);
    if (!parsed) {
        return Fail(sfInvalid);
    }
    if (!FConnection.Connect(parsed->Host, parsed->Port, TClock::now() + AnswerLimit)) {
        return FailAsConnection();
    }
    FReceived.clear();
    FPromised = 0;
    FReceived.reserve(2 * ReceiveSize);
    FEnded = false;
    FEventMask.store(0);
    if (parsed->Protocol == npRfc2217) {
        FCodec.emplace(true);
        std::vector<std::uint8_t> opening;
        FCodec->Start(opening);
        const TClock::time_point deadline = TClock::now() + AnswerLimit;
        std::size_t sent = 0;
        if (!SendAll(opening, &deadline, sent)) {
            FailAsConnection();
            FConnection.Close();
            return false;
        }
    }
    return true;
}

bool TNetworkDevice::SetQueueSizes(std::size_t inputSize, std::size_t outputSize)
{
    if (inputSize == 0 || outputSize == 0) {
        return Fail(sfInvalid);
    }
    FInputQueueSize = inputSize;
    return true;
}

bool TNetworkDevice::SetLineSettings(std::uint32_t baudRate, std::uint8_t parity, std::uint8_t byteSize,
                                     std::uint8_t stopBits)
{
    const bool valid = baudRate != 0 && parity <= spSpace && byteSize >= 5 && byteSize <= 8 && stopBits <= sbTwo;
    if (!valid || (Telnet() && (parity != spNone || byteSize != 8 || stopBits != sbOne))) {
        return Fail(sfInvalid);
    }
    if (!Telnet()) {
        return true;
    }
    const auto refused = [this] {
        const std::lock_guard lock(FReceiveLock);
        return FCodec->ComPortAnswer() == TTelnetCodec::taRefused;
    };
    if (!ReceiveUntil(
            [this] { return FCodec->NegotiationSettled() || FCodec->ComPortAnswer() == TTelnetCodec::taRefused; },
            TClock::now() + AnswerLimit) ||
        refused()) {
        return Fail(refused() ? sfRefused : sfTimedOut);
    }
    std::vector<std::uint8_t> commands;
    {
        const std::lock_guard lock(FReceiveLock);
        FCodec->EncodeLineSettings(baudRate, commands);
    }
    const TClock::time_point deadline = TClock::now() + AnswerLimit;
    std::size_t sent = 0;
    if (!SendAll(commands, &deadline, sent)) {
        return FailAsConnection();
    }
    if (!ReceiveUntil([this] { return FCodec->LineSettingsAnswer() != TTelnetCodec::taWaiting; }, deadline)) {
        return Fail(sfTimedOut);
    }
    const std::lock_guard lock(FReceiveLock);
    if (FCodec->LineSettingsAnswer() != TTelnetCodec::taAccepted) {
        return Fail(sfRefused);
    }
    return true;
}

bool TNetworkDevice::SetTimeouts(const TSerialTimeouts& timeouts)
{
    const std::lock_guard lock(FSendLock);
    FTimeouts = timeouts;
    return true;
}

bool TNetworkDevice::SetEventMask(std::uint32_t mask)
{
    if (mask == 0) {
        FEventMask.store(0);
        return FConnection.SetWakeUp() || FLastError.FailQuietly([this] { return FConnection.LastError(); });
    }
    if (!FConnection.ClearWakeUp()) {
        return FailAsConnection();
    }
    FEventMask.store(mask);
    return true;
}

bool TNetworkDevice::Purge()
{
    if (!ReceiveWaiting()) {
        return Fail(sfBroken);
    }
    {
        // The bytes that the last status promised a reader stay for its
        // read, which must get all of them.
        const std::lock_guard lock(FReceiveLock);
        FReceived.erase(FReceived.begin() + static_cast<std::ptrdiff_t>(std::min(FPromised, FReceived.size())),
                        FReceived.end());
    }
    if (!Telnet()) {
        return true;
    }
    std::vector<std::uint8_t> command;
    {
        const std::lock_guard lock(FReceiveLock);
        FCodec->EncodePurge(command);
    }
    const TClock::time_point deadline = TClock::now() + AnswerLimit;
    std::size_t sent = 0;
    return SendAll(command, &deadline, sent) || FailAsConnection();
}

bool TNetworkDevice::WaitEvent(std::uint32_t& events)
{
    events = 0;
    const std::uint32_t mask = FEventMask.load();
    if (mask == 0) {
        return true;
    }
    {
        const std::lock_guard lock(FReceiveLock);
        if (!FReceived.empty()) {
            events = mask & seReceived;
            return true;
        }
        if (FEnded) {
            events = seError;
            return true;
        }
    }
    switch (FConnection.WaitReadable(nullptr)) {
    case TSocketConnection::wrReadable:
        events = mask & seReceived;
        return true;
    case TSocketConnection::wrWoken:
    case TSocketConnection::wrTimedOut:
        return true;
    case TSocketConnection::wrFailed:
        break;
    }
    return FailAsConnection();
}

bool TNetworkDevice::ReadStatus(std::size_t& bytesWaiting)
{
    bytesWaiting = 0;
    static_cast<void>(ReceiveWaiting());
    const std::lock_guard lock(FReceiveLock);
    if (FReceived.empty() && FEnded) {
        return Fail(sfBroken);
    }
    bytesWaiting = FReceived.size();
    if (FInputQueueSize != 0) {
        bytesWaiting = std::min(bytesWaiting, FInputQueueSize);
    }
    FPromised = bytesWaiting;
    return true;
}

bool TNetworkDevice::Read(std::uint8_t* buffer, std::size_t count, std::size_t& bytesRead)
{
    const std::lock_guard lock(FReceiveLock);
    bytesRead = std::min(count, FReceived.size());
    FPromised -= std::min(FPromised, bytesRead);
    std::copy_n(FReceived.begin(), bytesRead, buffer);
    FReceived.erase(FReceived.begin(), FReceived.begin() + static_cast<std::ptrdiff_t>(bytesRead));
    return true;
}

TSerialWriteResult TNetworkDevice::Write(const std::uint8_t* data, std::size_t count, std::size_t& bytesWritten)
{
    bytesWritten = 0;
    const std::lock_guard sending(FSendLock);
    {
        const std::lock_guard lock(FReceiveLock);
        if (FEnded) {
            Fail(sfBroken);
            return swFailed;
        }
        FEncoded.clear();
        if (Telnet()) {
            FCodec->EncodeData(std::span(data, count), FEncoded);
        } else {
            FEncoded.assign(data, data + count);
        }
    }
    const bool limited = FTimeouts.WriteTotalTimeoutMultiplier != 0 || FTimeouts.WriteTotalTimeoutConstant != 0;
    const TClock::time_point deadline =
        TClock::now() + std::chrono::milliseconds(std::uint64_t{FTimeouts.WriteTotalTimeoutMultiplier} * count +
                                                  FTimeouts.WriteTotalTimeoutConstant);
    std::size_t sent = 0;
    const TSocketConnection::TSendResult result =
        FConnection.Send(FEncoded.data(), FEncoded.size(), sent, limited ? &deadline : nullptr);
    // The line's share of what went out; doubled bytes make it approximate.
    bytesWritten = FEncoded.empty() ? count : sent * count / FEncoded.size();
    switch (result) {
    case TSocketConnection::srDone:
        return swDone;
    case TSocketConnection::srTimedOut:
        FailAsConnection();
        return swTimedOut;
    case TSocketConnection::srFailed:
        break;
    }
    FailAsConnection();
    return swFailed;
}

bool TNetworkDevice::ReceiveWaiting()
{
    std::vector<std::uint8_t> reply;
    {
        const std::lock_guard lock(FReceiveLock);
        // Bytes stay in the connection while enough wait here: the server is
        // held back by TCP's own flow control, as a line by its queue.
        while (!FEnded && FReceived.size() < ReceiveSize) {
            std::size_t received = 0;
            const TSocketConnection::TReceiveResult result = FConnection.Receive(FRaw.data(), FRaw.size(), received);
            if (result == TSocketConnection::rrNothing) {
                break;
            }
            if (result != TSocketConnection::rrData) {
                FEnded = true;
                break;
            }
            if (Telnet()) {
                FCodec->Decode(std::span(FRaw.data(), received), FReceived, reply);
            } else {
                FReceived.insert(FReceived.end(), FRaw.begin(), FRaw.begin() + static_cast<std::ptrdiff_t>(received));
            }
        }
        if (FEnded) {
            return false;
        }
    }
    if (!reply.empty()) {
        const TClock::time_point deadline = TClock::now() + AnswerLimit;
        std::size_t sent = 0;
        return SendAll(reply, &deadline, sent);
    }
    return true;
}

template <typename TPredicate>
bool TNetworkDevice::ReceiveUntil(TPredicate done, TClock::time_point deadline)
{
    for (;;) {
        const bool usable = ReceiveWaiting();
        {
            const std::lock_guard lock(FReceiveLock);
            // What the line brings before it is set up is stale (the open
            // purges it anyway) and must not stop the receiving.
            FReceived.clear();
            if (done()) {
                return true;
            }
        }
        if (!usable) {
            return false;
        }
        const TSocketConnection::TWaitResult waited = FConnection.WaitReadable(&deadline);
        if (waited == TSocketConnection::wrTimedOut || waited == TSocketConnection::wrFailed) {
            const std::lock_guard lock(FReceiveLock);
            return done();
        }
    }
}

bool TNetworkDevice::SendAll(const std::vector<std::uint8_t>& bytes, const TClock::time_point* deadline,
                             std::size_t& sent)
{
    const std::lock_guard lock(FSendLock);
    return FConnection.Send(bytes.data(), bytes.size(), sent, deadline) == TSocketConnection::srDone;
}

}  // namespace zarvik12m
