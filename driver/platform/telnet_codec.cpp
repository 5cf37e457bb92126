#include "driver/platform/telnet_codec.h"

#include <algorithm>

namespace zarvik12m {

namespace {

constexpr std::uint8_t Cr = 0x0D;
constexpr std::uint8_t Nul = 0x00;

void AppendCommand(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint8_t option)
{
    out.push_back(TTelnetCodec::Iac);
    out.push_back(command);
    out.push_back(option);
}

// IAC SB COM-PORT-OPTION command value IAC SE, an IAC in the value doubled.
void AppendComPortCommand(std::vector<std::uint8_t>& out, std::uint8_t command, std::span<const std::uint8_t> value)
{
    out.push_back(TTelnetCodec::Iac);
    out.push_back(TTelnetCodec::Sb);
    out.push_back(TTelnetCodec::ComPortOption);
    out.push_back(command);
    for (const std::uint8_t byte : value) {
        out.push_back(byte);
        if (byte == TTelnetCodec::Iac) {
            out.push_back(byte);
        }
    }
    out.push_back(TTelnetCodec::Iac);
    out.push_back(TTelnetCodec::Se);
}

}  // namespace

TTelnetCodec::TTelnetCodec(bool comPortControl) noexcept : FComPortControl(comPortControl) {}

void TTelnetCodec::Start(std::vector<std::uint8_t>& out)
{
    // An option the server has already offered and the client taken is not
    // asked for again.
    const auto ask = [&out](TOptionState& state, std::uint8_t command, std::uint8_t option) {
        if (state == osNo) {
            state = osWantYes;
            AppendCommand(out, command, option);
        }
    };
    ask(FLocal[BinaryOption], Will, BinaryOption);
    ask(FRemote[BinaryOption], Do, BinaryOption);
    if (FComPortControl && !FComPortRefused) {
        ask(FLocal[ComPortOption], Will, ComPortOption);
    }
}

void TTelnetCodec::EncodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) const
{
    const bool binary = LocalBinary();
    for (const std::uint8_t byte : data) {
        out.push_back(byte);
        if (byte == Iac) {
            out.push_back(Iac);
        } else if (byte == Cr && !binary) {
            out.push_back(Nul);
        }
    }
}

void TTelnetCodec::EncodeLineSettings(std::uint32_t baudRate, std::vector<std::uint8_t>& out)
{
    FLineAsked = {baudRate, 8, ParityNone, StopSizeOne, ControlNoFlowControl};
    FLineAnswers.fill(taWaiting);
    const std::array<std::uint8_t, 4> rate = {
        static_cast<std::uint8_t>(baudRate >> 24U), static_cast<std::uint8_t>(baudRate >> 16U),
        static_cast<std::uint8_t>(baudRate >> 8U), static_cast<std::uint8_t>(baudRate)};
    AppendComPortCommand(out, SetBaudRate, rate);
    const std::array<std::uint8_t, LineCommandCount> commands = {SetBaudRate, SetDataSize, SetParity, SetStopSize,
                                                                 SetControl};
    for (std::size_t i = 1; i < LineCommandCount; ++i) {
        const auto value = static_cast<std::uint8_t>(FLineAsked[i]);
        AppendComPortCommand(out, commands[i], std::span(&value, 1));
    }
}

void TTelnetCodec::EncodePurge(std::vector<std::uint8_t>& out)
{
    FPurgeAnswer = taWaiting;
    const std::uint8_t value = PurgeBoth;
    AppendComPortCommand(out, PurgeData, std::span(&value, 1));
}

bool TTelnetCodec::WantsLocal(std::uint8_t option) const noexcept
{
    return option == BinaryOption || option == SuppressGoAheadOption ||
           (option == ComPortOption && FComPortControl && !FComPortRefused);
}

bool TTelnetCodec::WantsRemote(std::uint8_t option) noexcept
{
    return option == BinaryOption || option == SuppressGoAheadOption;
}

void TTelnetCodec::HandleNegotiation(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& reply)
{
    // WILL and WONT speak of the server's side, DO and DONT of the client's.
    const bool remoteSide = command == Will || command == Wont;
    const bool enable = command == Will || command == Do;
    TOptionState& state = remoteSide ? FRemote[option] : FLocal[option];
    const bool wanted = remoteSide ? WantsRemote(option) : WantsLocal(option);
    const std::uint8_t yes = remoteSide ? Do : Will;
    const std::uint8_t no = remoteSide ? Dont : Wont;

    if (enable) {
        if (!wanted) {
            if (state == osNo) {
                AppendCommand(reply, no, option);
            }
            return;
        }
        if (state == osNo) {
            AppendCommand(reply, yes, option);
        }
        state = osYes;
        return;
    }
    // Refused or switched off: a refusal of what the client asked for is
    // final; an option that was on is switched off and the change confirmed.
    if (state == osYes) {
        AppendCommand(reply, no, option);
    }
    if (state != osNo && !remoteSide && option == ComPortOption) {
        FComPortRefused = true;
    }
    state = osNo;
}

void TTelnetCodec::AcknowledgeLineCommand(std::size_t index, std::uint32_t value) noexcept
{
    // Only the first answer to a command counts: a server may report the
    // same setting again later without being asked.
    if (FLineAnswers[index] == taWaiting) {
        FLineAnswers[index] = value == FLineAsked[index] ? taAccepted : taRefused;
    }
}

void TTelnetCodec::HandleSubnegotiation()
{
    if (FSubOption != ComPortOption || FSubTruncated || FSubData.empty()) {
        return;
    }
    const std::uint8_t command = FSubData[0];
    const std::span<const std::uint8_t> value = std::span(FSubData).subspan(1);
    switch (command) {
    case ServerOffset + SetBaudRate:
        if (value.size() == 4) {
            const std::uint32_t rate = (std::uint32_t{value[0]} << 24U) | (std::uint32_t{value[1]} << 16U) |
                                       (std::uint32_t{value[2]} << 8U) | std::uint32_t{value[3]};
            FAcknowledgedBaudRate = rate;
            AcknowledgeLineCommand(0, rate);
        }
        break;
    case ServerOffset + SetDataSize:
    case ServerOffset + SetParity:
    case ServerOffset + SetStopSize:
    case ServerOffset + SetControl:
        if (value.size() == 1) {
            AcknowledgeLineCommand(static_cast<std::size_t>(command - ServerOffset - SetBaudRate), value[0]);
        }
        break;
    case ServerOffset + FlowControlSuspend:
        FFlowSuspended = true;
        break;
    case ServerOffset + FlowControlResume:
        FFlowSuspended = false;
        break;
    case ServerOffset + PurgeData:
        if (FPurgeAnswer == taWaiting && value.size() == 1) {
            FPurgeAnswer = value[0] == PurgeBoth ? taAccepted : taRefused;
        }
        break;
    default:
        // Line and modem state notifications, signatures, masks: the
        // driver has no use for them.
        break;
    }
}

void TTelnetCodec::Decode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& data,
                          std::vector<std::uint8_t>& reply)
{
    for (const std::uint8_t byte : in) {
        switch (FDecodeState) {
        case dsDataAfterCr:
            if (byte == Nul) {
                FDecodeState = dsData;
                break;
            }
            [[fallthrough]];
        case dsData:
            if (byte == Iac) {
                FDecodeState = dsIac;
            } else {
                data.push_back(byte);
                FDecodeState = byte == Cr && !RemoteBinary() ? dsDataAfterCr : dsData;
            }
            break;
        case dsIac:
            if (byte == Iac) {
                data.push_back(byte);
                FDecodeState = dsData;
            } else if (byte == Will || byte == Wont || byte == Do || byte == Dont) {
                FCommand = byte;
                FDecodeState = dsOption;
            } else if (byte == Sb) {
                FDecodeState = dsSubOption;
            } else {
                // NOP, data mark, break, go ahead, a stray SE: nothing
                // for the line.
                FDecodeState = dsData;
            }
            break;
        case dsOption:
            HandleNegotiation(FCommand, byte, reply);
            FDecodeState = dsData;
            break;
        case dsSubOption:
            FSubOption = byte;
            FSubData.clear();
            FSubTruncated = false;
            FDecodeState = dsSubData;
            break;
        case dsSubData:
            if (byte == Iac) {
                FDecodeState = dsSubIac;
            } else if (FSubData.size() < MaxSubnegotiation) {
                FSubData.push_back(byte);
            } else {
                FSubTruncated = true;
            }
            break;
        case dsSubIac:
            if (byte == Iac) {
                if (FSubData.size() < MaxSubnegotiation) {
                    FSubData.push_back(byte);
                } else {
                    FSubTruncated = true;
                }
                FDecodeState = dsSubData;
            } else if (byte == Se) {
                HandleSubnegotiation();
                FDecodeState = dsData;
            } else {
                // A command inside a subnegotiation ends it unfinished
                // (it is dropped) and is taken as the command it is.
                FDecodeState = dsIac;
                Decode(std::span(&byte, 1), data, reply);
            }
            break;
        }
    }
}

bool TTelnetCodec::NegotiationSettled() const noexcept
{
    return FLocal[BinaryOption] != osWantYes && FRemote[BinaryOption] != osWantYes &&
           (!FComPortControl || FLocal[ComPortOption] != osWantYes);
}

TTelnetCodec::TAnswer TTelnetCodec::ComPortAnswer() const noexcept
{
    if (!FComPortControl || FComPortRefused) {
        return taRefused;
    }
    return FLocal[ComPortOption] == osYes ? taAccepted : taWaiting;
}

TTelnetCodec::TAnswer TTelnetCodec::LineSettingsAnswer() const noexcept
{
    if (std::find(FLineAnswers.begin(), FLineAnswers.end(), taRefused) != FLineAnswers.end()) {
        return taRefused;
    }
    if (std::find(FLineAnswers.begin(), FLineAnswers.end(), taWaiting) != FLineAnswers.end()) {
        return taWaiting;
    }
    return taAccepted;
}

TTelnetCodec::TAnswer TTelnetCodec::PurgeAnswer() const noexcept
{
    return FPurgeAnswer;
}

}  // namespace zarvik12m
