#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "driver/processing/log_command_encoder.h"
#include "driver/protocol/command.h"
#include "driver/protocol/command_data.h"
#include "driver/protocol/frame_codec.h"

namespace zarvik12m {

class TCOMPort;
class TRXCommandQueue;
class TTXCommandQueue;
class TRXCommandThread;  // NOLINT(cppcoreguidelines-virtual-class-destructor): final, see its header
class TTXCommandThread;

// The protocol engine of one register on one COM port: the frame codec it
// is built on (TFrameCodec: records, frames, payloads, which work without a
// port or threads) with the port, the queues, the threads and the log.
// Its own operations are spread over files named after what they hold:
//   command_encoder.cpp          construction
//   command_encoder_log.cpp      the log's entry points
//   command_encoder_engine.cpp   the port, queues and threads: start, stop,
//                                executing a command
//
// Nothing here takes a queue's lock; NextID takes the ID generator's lock,
// the log entry points the log's.
//
// One engine serves one exported call on one thread: that thread creates,
// starts, executes commands, stops and destroys; the engine's transmit and
// receive threads and the port's read thread run beside it while started.
class TCommandEncoder : public TFrameCodec {
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

    // --- Log entry points ---
    // Each takes the log's lock for the whole entry and releases it also
    // when the writer fails (its std::system_error passes on).

    void LogCommand(const TCommand& command, std::string_view text);
    void LogText(std::string_view text);

private:
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
