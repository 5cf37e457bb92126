#include <algorithm>

#include "driver/common/convert.h"
#include "driver/common/errors.h"
#include "driver/protocol/frame_codec.h"

namespace zarvik12m {

namespace {

constexpr std::size_t AddressByte = 0;
constexpr std::size_t LengthByte = 1;
constexpr std::size_t CodeByte = 2;
constexpr std::size_t PayloadStart = 3;

// The data bytes of command 65, which set its payload length.
std::size_t WriteRPZUDataSize(const TCommand& command)
{
    const auto* record = command.Data != nullptr ? std::get_if<TTX_WRITE_RPZU_DataIn>(command.Data.get()) : nullptr;
    return record != nullptr ? record->Data.size() : 0;
}

}  // namespace

std::uint8_t TFrameCodec::Checksum(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    return static_cast<std::uint8_t>(0xFFU ^ sum);
}

TCommandType TFrameCodec::CommandTypeOf(std::uint8_t commandNumber) noexcept
{
    if (commandNumber >= 1 && commandNumber <= 10) {
        return ctKKMRequest;
    }
    if (commandNumber >= 11 && commandNumber <= 31) {
        return ctKKMResponse;
    }
    if (commandNumber >= 32 && commandNumber <= 47) {
        return ctServerResponse;
    }
    if (commandNumber >= 48 && commandNumber <= 65) {
        return ctServerCommand;
    }
    return ctUnknown;
}

std::uint8_t TFrameCodec::EncodeFrame(const TCommand& command, std::span<std::uint8_t, MaxFrameLength> frame) const
{
    const std::uint8_t number = command.CommandNumber;
    if (!IsCatalogued(number)) {
        RaiseUnknownCommand(command.NetNumber, number);
    }
    const TCommandDescriptor& descriptor = CommandCatalogue[number];
    std::size_t payloadLength = descriptor.PayloadLength;
    if (payloadLength == AnyPayloadLength) {
        if (number == WriteRPZUCommand) {
            payloadLength = TTX_WRITE_RPZU_DataIn::PayloadSize + WriteRPZUDataSize(command);
        }
        if (payloadLength > MaxPayloadLength) {
            RaiseError(ecCommandDataSize, {FPortNumber, command.NetNumber});
        }
    }

    const std::size_t frameLength = payloadLength + FrameOverhead;
    frame[AddressByte] = ByteToBCD(command.NetNumber);
    frame[LengthByte] = static_cast<std::uint8_t>(payloadLength);
    frame[CodeByte] = descriptor.ProtocolCommand;
    const std::span<std::uint8_t> payload = std::span<std::uint8_t>(frame).subspan(PayloadStart, payloadLength);
    std::fill(payload.begin(), payload.end(), std::uint8_t{0});  // a record missing its data sends zeros
    EncodeData(command, payload);
    frame[frameLength - 1] = Checksum(frame.first(frameLength - 1));
    return static_cast<std::uint8_t>(frameLength);
}

bool TFrameCodec::DecodeFrame(TCommand& command, std::span<const std::uint8_t> bytes, std::uint16_t& frameLength)
{
    if (bytes.size() < FrameOverhead || !FAddressSet.test(bytes[AddressByte])) {
        return false;
    }
    const std::uint8_t length = bytes[LengthByte];
    const std::uint8_t code = bytes[CodeByte];
    const std::size_t wholeLength = length + FrameOverhead;
    // No frame is longer than 255 bytes, however many are offered.
    if (wholeLength > MaxFrameLength || bytes.size() < wholeLength ||
        Checksum(bytes.first(wholeLength - 1)) != bytes[wholeLength - 1]) {
        return false;
    }
    // Only what the register sends is recognised; where one code has two
    // answers, the length tells them apart.
    for (std::uint8_t number = 1; number <= LastKKMResponse; ++number) {
        const TCommandDescriptor& descriptor = CommandCatalogue[number];
        const bool fits = (descriptor.PayloadLength == length || descriptor.PayloadLength == AnyPayloadLength) &&
                          descriptor.ProtocolCommand == code;
        if (!fits) {
            continue;
        }
        TCommand decoded = InitCommand(number, BCDToByte(bytes[AddressByte]));
        DecodeData(decoded, bytes.subspan(PayloadStart, length));
        command = std::move(decoded);
        frameLength = static_cast<std::uint16_t>(wholeLength);
        return true;
    }
    return false;
}

}  // namespace zarvik12m
