#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "driver/protocol/command.h"
#include "driver/protocol/command_catalogue.h"
#include "driver/protocol/command_data.h"
#include "driver/protocol/id_generator.h"
#include "driver/protocol/log_command_encoder.h"

namespace zarvik12m {

class TCOMPort;
class TRXCommandQueue;
class TTXCommandQueue;
class TRXCommandThread;  // NOLINT(cppcoreguidelines-virtual-class-destructor): final, see its header
class TTXCommandThread;

// A set of byte values: network numbers given to an engine, or the
// address bytes it accepts.
using TByteSet = std::bitset<256>;

TByteSet ByteSetOf(std::initializer_list<std::uint8_t> values);

// The protocol engine of one register on one COM port. Its operations are
// spread over files named after what they hold:
//   command_encoder.cpp          construction, the address set
//   command_encoder_records.cpp  command IDs, making and freeing records
//   command_encoder_frame.cpp    frames: checksum, encoding, recognition
//   command_encoder_data.cpp     data records: allocation, release, copy
//   payload_encode.cpp           payloads of what the driver sends
//   payload_decode.cpp           payloads of what the register sends
//   command_encoder_log.cpp      the log's entry points
//   command_encoder_engine.cpp   the port, queues and threads: start, stop,
//                                executing a command
//
// The frame and data operations work without a port or threads. Nothing
// here takes a queue's lock; NextID takes the ID generator's lock, the log
// entry points the log's.
//
// One engine serves one exported call on one thread: that thread creates,
// starts, executes commands, stops and destroys; the engine's transmit and
// receive threads and the port's read thread run beside it while started.
class TCommandEncoder {
public:
    // How long ExecuteCommand waits for the answer.
    static constexpr std::uint32_t AnswerTimeout = 10000;

    // Accepts the address bytes of the network numbers 1..99 in
    // netNumbers (others are ignored), leaves its log switched off, and
    // makes its port (closed) and its two queues.
    TCommandEncoder(std::uint8_t portNumber, const TByteSet& netNumbers);

    // Stops, then releases the receive queue and the transmit queue (each
    // cleared under its lock, every entry logged), the port, the log and the
    // ID generator, in that order.
    ~TCommandEncoder();

    TCommandEncoder(const TCommandEncoder&) = delete;
    TCommandEncoder& operator=(const TCommandEncoder&) = delete;

    [[nodiscard]] std::uint8_t PortNumber() const noexcept { return FPortNumber; }
    [[nodiscard]] const TByteSet& AddressSet() const noexcept { return FAddressSet; }
    [[nodiscard]] TIDGenerator& IDGenerator() noexcept { return FIDGenerator; }
    [[nodiscard]] TLogCommandEncoder& Log() noexcept { return FLog; }

    // --- The engine ---

    // Closes the port and opens it again at the rate, 8 data bits, no
    // parity, one stop bit, asynchronously (its read thread running); then
    // starts the transmit thread and the receive thread and returns once
    // each runs. The port's errors (ecPortSetMask to ecPortPurge, ecReadEventCreate) leave before any
    // thread exists.
    void Start(std::int32_t baudRate);

    // Ends the receive thread, then the transmit thread, and closes the port.
    void Stop() noexcept;

    // Sends one server command and waits up to AnswerTimeout for its answer.
    // requestData is the caller's record of the command (null for commands
    // without payload); the engine sends its own copy. On return
    // responseNumber is the catalogue number of the answer and responseData
    // a new record of it owned by the caller, or 0 and null when no answer
    // came. Raises ecUnknownCommand for a number outside the catalogue, before anything
    // is queued. The request leaves the transmit queue on every way out.
    void ExecuteCommand(std::uint8_t netNumber, std::uint8_t commandNumber, TCommandDataPtr& responseData,
                        std::uint8_t& responseNumber, const TCommandData* requestData);

    [[nodiscard]] TCOMPort& Port() noexcept { return *FPort; }
    [[nodiscard]] TRXCommandQueue& RXQueue() noexcept { return *FRXQueue; }
    [[nodiscard]] TTXCommandQueue& TXQueue() noexcept { return *FTXQueue; }
    [[nodiscard]] TRXCommandThread* RXThread() noexcept { return FRXThread.get(); }
    [[nodiscard]] TTXCommandThread* TXThread() noexcept { return FTXThread.get(); }

    // Set by each command thread while its body runs.
    [[nodiscard]] bool RXStarted() const noexcept { return FRXStarted.load(std::memory_order_acquire); }
    [[nodiscard]] bool TXStarted() const noexcept { return FTXStarted.load(std::memory_order_acquire); }
    void SetRXStarted(bool started) noexcept { FRXStarted.store(started, std::memory_order_release); }
    void SetTXStarted(bool started) noexcept { FTXStarted.store(started, std::memory_order_release); }

    // --- Command records and IDs ---

    // 1, 2, 3, ...; after 4294967295 comes 1 again: 0 is never issued.
    std::uint32_t NextID();

    // A fresh record: new ID, kind, state created at the current local
    // time, a new auto-reset event, the catalogue's code and a new data
    // record. Raises ecUnknownCommand for a number outside 1..66.
    TCommand InitCommand(std::uint8_t commandNumber, std::uint8_t netNumber);

    // Drops the record's share of its event and data and zero-fills it.
    // Other copies keep theirs.
    static void FreeCommand(TCommand& command) noexcept;

    // --- Frames ---

    // 0xFF xor the 8-bit sum of the bytes.
    static std::uint8_t Checksum(std::span<const std::uint8_t> bytes) noexcept;

    static TCommandType CommandTypeOf(std::uint8_t commandNumber) noexcept;

    // Builds the whole frame of a command to be sent and returns its
    // length. Raises ecUnknownCommand for a number outside the catalogue and ecCommandDataSize for a
    // payload of any length that does not fit (9, 10, 30, 66 always; 65
    // with more than 246 data bytes); the frame is untouched then.
    std::uint8_t EncodeFrame(const TCommand& command, std::span<std::uint8_t, MaxFrameLength> frame) const;

    // Recognises a frame of what the register sends (commands 1..31) at
    // the very first of the bytes. On success fills command with a new
    // record holding the decoded payload, sets frameLength and returns
    // true; otherwise returns false and touches neither. Reads no byte
    // beyond the span.
    bool DecodeFrame(TCommand& command, std::span<const std::uint8_t> bytes, std::uint16_t& frameLength);

    // --- Data records ---
    // AllocData, FreeData and CopyData raise ecUnknownCommand (port, network number 0,
    // command number) for a number outside 1..66.

    // A new zero-filled record of the command; null for the commands
    // without payload (50, 53, 56..59).
    [[nodiscard]] TCommandDataPtr AllocData(std::uint8_t commandNumber) const;

    // Drops the reference and nulls it; a null data is accepted.
    void FreeData(std::uint8_t commandNumber, TCommandDataPtr& data) const;

    // Copies every field of the record; variable bytes are copied into
    // dest's own array. Nothing happens for commands without payload.
    // Throws std::logic_error when source or dest is not the command's
    // record.
    void CopyData(std::uint8_t commandNumber, const TCommandData* source, TCommandData* dest) const;

    // Writes the payload of a command the driver sends (32..65) from its
    // record; any other number, or a payload too short for the layout,
    // writes nothing.
    static void EncodeData(const TCommand& command, std::span<std::uint8_t> payload);

    // Fills the record of a command the register sends (1..31, 66) from
    // the payload; any other number, or a payload too short for a fixed
    // layout, leaves the record unchanged. Raises nothing for bad bytes.
    static void DecodeData(const TCommand& command, std::span<const std::uint8_t> payload);

    // --- Log entry points ---
    // Each takes the log's lock for the whole entry and releases it also
    // when the writer fails (its std::system_error passes on).

    void LogCommand(const TCommand& command, std::string_view text);
    void LogText(std::string_view text);

private:
    [[noreturn]] void RaiseUnknownCommand(std::uint8_t netNumber, std::uint8_t commandNumber) const;
    void CheckCatalogued(std::uint8_t commandNumber) const;

    std::uint8_t FPortNumber;
    TByteSet FAddressSet;
    TIDGenerator FIDGenerator;
    TLogCommandEncoder FLog;
    std::unique_ptr<TCOMPort> FPort;
    std::unique_ptr<TRXCommandQueue> FRXQueue;
    std::unique_ptr<TTXCommandQueue> FTXQueue;
    std::unique_ptr<TRXCommandThread> FRXThread;
    std::unique_ptr<TTXCommandThread> FTXThread;
    std::atomic<bool> FRXStarted{false};
    std::atomic<bool> FTXStarted{false};
};

}  // namespace zarvik12m
