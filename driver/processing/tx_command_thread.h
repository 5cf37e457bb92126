#pragma once

#include <array>
#include <cstdint>

#include "driver/platform/thread.h"
#include "driver/protocol/command.h"
#include "driver/protocol/command_catalogue.h"

namespace zarvik12m {

class TCommandEncoder;

// The engine's only writer of frames to the port: it takes the oldest
// command waiting in the transmit queue, sends it, and records that it was
// sent; it also sends the driver's answers to the register's requests.
//
// It runs from construction (one step above normal priority) until
// destruction, which asks it to end and waits for it. An error escaping its
// body (a frame that cannot be encoded, a failed write, the command log)
// ends the thread; the error is kept by the thread and reported nowhere
// else but in the error log.
class TTXCommandThread {
public:
    explicit TTXCommandThread(TCommandEncoder& encoder);
    ~TTXCommandThread();

    TTXCommandThread(const TTXCommandThread&) = delete;
    TTXCommandThread& operator=(const TTXCommandThread&) = delete;

    [[nodiscard]] TThread& Thread() noexcept { return FThread; }

private:
    void Execute(TThread& thread);
    // Waits for commands and sends each until the thread is asked to end.
    void Loop(const TThread& thread);
    // Sends a command taken from the queue by its kind; nothing for none
    // (ID 0) or another kind.
    void Send(TCommand& command);
    void SendServerCommand(TCommand& command);
    void SendServerResponse(TCommand& response);
    void WriteFrame(const TCommand& command);

    TCommandEncoder& FEncoder;
    std::array<std::uint8_t, MaxFrameLength> FFrameBuffer{};
    TThread FThread;  // last: stopped before the members its body uses go
};

}  // namespace zarvik12m
