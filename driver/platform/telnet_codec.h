#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zarvik12m {

// The client side of a Telnet connection to a serial port server (a
// serial-to-Ethernet converter, ser2net), as a pure codec: it turns the
// line's bytes into the connection's bytes and back, and answers the
// server's option negotiation. It makes no system call; the connection's
// owner sends what it produces and feeds it what arrives.
//
// The connection carries the line in binary both ways (RFC 856). With the
// Com Port Control option (RFC 2217) the client also sets the line's rate,
// data size, parity, stop bits and flow control and purges the server's
// buffers; it asks for nothing else (no DTR or RTS, which servers on lines
// without modem-control lines never acknowledge). Whatever the server sends
// beside the line's bytes (option requests, subnegotiations, line and
// modem notifications, other commands) is consumed here, also when a
// sequence is split across any number of reads, so that only line bytes
// ever leave Decode.
class TTelnetCodec {
public:
    // Telnet bytes and the options that matter here.
    static constexpr std::uint8_t Iac = 0xFF;
    static constexpr std::uint8_t Dont = 0xFE;
    static constexpr std::uint8_t Do = 0xFD;
    static constexpr std::uint8_t Wont = 0xFC;
    static constexpr std::uint8_t Will = 0xFB;
    static constexpr std::uint8_t Sb = 0xFA;
    static constexpr std::uint8_t Se = 0xF0;
    static constexpr std::uint8_t BinaryOption = 0;
    static constexpr std::uint8_t SuppressGoAheadOption = 3;
    static constexpr std::uint8_t ComPortOption = 44;

    // Com Port Control commands, as the client sends them; the server's
    // answer to each carries the number plus ServerOffset.
    static constexpr std::uint8_t SetBaudRate = 1;
    static constexpr std::uint8_t SetDataSize = 2;
    static constexpr std::uint8_t SetParity = 3;
    static constexpr std::uint8_t SetStopSize = 4;
    static constexpr std::uint8_t SetControl = 5;
    static constexpr std::uint8_t FlowControlSuspend = 8;
    static constexpr std::uint8_t FlowControlResume = 9;
    static constexpr std::uint8_t PurgeData = 12;
    static constexpr std::uint8_t ServerOffset = 100;

    // Values of the commands.
    static constexpr std::uint8_t ParityNone = 1;
    static constexpr std::uint8_t StopSizeOne = 1;
    static constexpr std::uint8_t ControlNoFlowControl = 1;
    static constexpr std::uint8_t PurgeBoth = 3;

    // Where a negotiation stands.
    enum TAnswer : std::uint8_t {
        taWaiting,   // asked, no answer yet
        taAccepted,  // the server agreed (or set exactly what was asked)
        taRefused,   // the server refused (or set something else)
    };

    // comPortControl: the connection is RFC 2217 (the client will also set
    // the line); otherwise plain Telnet carrying the line in binary.
    explicit TTelnetCodec(bool comPortControl) noexcept;

    // The client's opening requests: binary both ways and, with Com Port
    // Control, the option itself. Send them first, once.
    void Start(std::vector<std::uint8_t>& out);

    // The line's bytes as they go on the connection: every IAC doubled and,
    // while the client does not transmit in binary, CR followed by NUL.
    void EncodeData(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) const;

    // The Com Port Control commands that set the line: rate, 8 data bits, no
    // parity, one stop bit, no flow control. Their answers are awaited anew
    // (LineSettingsAnswer).
    void EncodeLineSettings(std::uint32_t baudRate, std::vector<std::uint8_t>& out);

    // The command that purges the server's buffers both ways; its answer is
    // awaited anew (PurgeAnswer).
    void EncodePurge(std::vector<std::uint8_t>& out);

    // Takes bytes from the connection: the line's bytes go to data, what the
    // client must answer goes to reply (send it before anything else).
    // Every input byte yields at most one data byte and at most three reply
    // bytes.
    void Decode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& reply);

    // Binary both ways and, with Com Port Control, the option: each answered.
    [[nodiscard]] bool NegotiationSettled() const noexcept;

    // The server's answer to the Com Port Control option.
    [[nodiscard]] TAnswer ComPortAnswer() const noexcept;

    // The server's acknowledgements of the last EncodeLineSettings: accepted
    // once every command is acknowledged with the value asked for, refused
    // as soon as one is acknowledged with another value.
    [[nodiscard]] TAnswer LineSettingsAnswer() const noexcept;

    // The server's acknowledgement of the last EncodePurge.
    [[nodiscard]] TAnswer PurgeAnswer() const noexcept;

    // The server has asked the client to stop sending (and not yet to go on).
    [[nodiscard]] bool FlowSuspended() const noexcept { return FFlowSuspended; }

    // The line's rate the server last acknowledged, 0 before any.
    [[nodiscard]] std::uint32_t AcknowledgedBaudRate() const noexcept { return FAcknowledgedBaudRate; }

private:
    // One side of one option (RFC 1143, without the queue bits: the client
    // asks once and never changes its mind).
    enum TOptionState : std::uint8_t { osNo, osWantYes, osYes };

    // The decoder's place in the stream.
    enum TDecodeState : std::uint8_t {
        dsData,
        dsDataAfterCr,  // a CR of a non-binary stream: a NUL after it is dropped
        dsIac,
        dsOption,     // after WILL, WONT, DO or DONT: the option byte
        dsSubOption,  // after SB: the option byte
        dsSubData,
        dsSubIac,
    };

    // The commands of one line setting, in the order they are sent.
    static constexpr std::size_t LineCommandCount = 5;

    // Longest subnegotiation kept; longer ones are consumed and ignored.
    static constexpr std::size_t MaxSubnegotiation = 32;

    [[nodiscard]] bool WantsLocal(std::uint8_t option) const noexcept;
    [[nodiscard]] static bool WantsRemote(std::uint8_t option) noexcept;
    [[nodiscard]] bool LocalBinary() const noexcept { return FLocal[BinaryOption] == osYes; }
    [[nodiscard]] bool RemoteBinary() const noexcept { return FRemote[BinaryOption] == osYes; }

    void HandleNegotiation(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& reply);
    void HandleSubnegotiation();
    void AcknowledgeLineCommand(std::size_t index, std::uint32_t value) noexcept;

    bool FComPortControl;
    // The state of every option on the client's side (WILL) and the
    // server's (DO), indexed by option number.
    std::array<TOptionState, 256> FLocal{};
    std::array<TOptionState, 256> FRemote{};
    bool FComPortRefused = false;

    TDecodeState FDecodeState = dsData;
    std::uint8_t FCommand = 0;
    std::uint8_t FSubOption = 0;
    std::vector<std::uint8_t> FSubData;
    bool FSubTruncated = false;

    // The values asked for by the last line setting and what came back.
    std::array<std::uint32_t, LineCommandCount> FLineAsked{};
    std::array<TAnswer, LineCommandCount> FLineAnswers{taAccepted, taAccepted, taAccepted, taAccepted, taAccepted};
    TAnswer FPurgeAnswer = taAccepted;
    bool FFlowSuspended = false;
    std::uint32_t FAcknowledgedBaudRate = 0;
};

}  // namespace zarvik12m
