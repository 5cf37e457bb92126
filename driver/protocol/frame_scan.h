#pragma once

#include <cstdint>
#include <span>

#include "driver/protocol/command.h"

namespace zarvik12m {

class TFrameCodec;

// Receives what a scan finds, frame by frame, in order.
class TFrameSink {
public:
    // A frame was recognised: the bytes skipped since the previous frame
    // (possibly none), the frame's command, and how many bytes the two
    // together took from the front of what is still unconsumed.
    virtual void OnFrame(std::span<const std::uint8_t> skipped, TCommand& command, std::uint16_t consumed) = 0;

    // Whether the scan should end before its next step.
    [[nodiscard]] virtual bool Stopping() const { return false; }

protected:
    ~TFrameSink() = default;
};

// Looks for frames from the very first of the bytes: each position is
// offered to the decoder with at most one frame's worth of bytes; a
// position where no frame starts is skipped. Bytes after the last frame
// (noise, or the start of a frame still arriving) are not consumed; they
// are scanned again, from the front, together with whatever follows them.
// Returns how many bytes were consumed in all.
std::size_t ScanForFrames(TFrameCodec& encoder, std::span<const std::uint8_t> bytes, TFrameSink& sink);

}  // namespace zarvik12m
