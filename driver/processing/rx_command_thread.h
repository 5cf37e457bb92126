#pragma once

#include <array>
#include <cstdint>

#include "driver/platform/thread.h"
#include "driver/port/read_queue.h"
#include "driver/protocol/command.h"
#include "driver/protocol/frame_scan.h"

namespace zarvik12m {

class TCommandEncoder;

// Turns the bytes the register sends into commands: it copies the port's
// input byte queue, recognises frames in the copy, pairs each register
// answer with the sent command it answers, and stores everything received
// in the receive queue. Bytes that form no frame are stored as one
// command 66 of their own once a frame follows them; bytes leave the input
// queue only together with a recognised frame after them.
//
// Runs from construction (one step above normal priority) until
// destruction; an error escaping its body ends it, kept by the thread.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): final, never destroyed through its base
class TRXCommandThread final : private TFrameSink {
public:
    explicit TRXCommandThread(TCommandEncoder& encoder);
    ~TRXCommandThread();

    TRXCommandThread(const TRXCommandThread&) = delete;
    TRXCommandThread& operator=(const TRXCommandThread&) = delete;

    [[nodiscard]] TThread& Thread() noexcept { return FThread; }

private:
    void Execute(TThread& thread);
    // Waits for received bytes and scans each fresh copy of the input queue
    // for frames until the thread is asked to end.
    void Loop(const TThread& thread);
    // Copies what the input queue holds into the receive buffer and notes
    // where in the stream the copy starts; returns how many bytes it took.
    std::uint16_t CopyInput(TReadQueue& input);
    void OnFrame(std::span<const std::uint8_t> skipped, TCommand& command, std::uint16_t consumed) override;
    [[nodiscard]] bool Stopping() const override { return FThread.Terminated(); }
    void StoreSkipped(std::span<const std::uint8_t> skipped);
    void StoreReceived(TCommand& command, std::uint64_t frameStart);
    void RemoveInput(std::uint16_t count);

    TCommandEncoder& FEncoder;
    std::array<std::uint8_t, TReadQueue::Capacity> FReceiveBuffer{};
    std::uint64_t FPassStart = 0;  // place in the received stream of the copy's first byte
    TThread FThread;               // last: stopped before the members its body uses go
};

}  // namespace zarvik12m
