#include "driver/protocol/frame_scan.h"

#include <algorithm>

#include "driver/protocol/command_catalogue.h"
#include "driver/protocol/frame_codec.h"

namespace zarvik12m {

std::size_t ScanForFrames(TFrameCodec& encoder, std::span<const std::uint8_t> bytes, TFrameSink& sink)
{
    std::size_t position = 0;
    std::size_t skipped = 0;
    std::size_t consumed = 0;
    while (!sink.Stopping() && position < bytes.size()) {
        const std::span<const std::uint8_t> window =
            bytes.subspan(position, std::min<std::size_t>(bytes.size() - position, MaxFrameLength));
        std::uint16_t frameLength = 0;
        TCommand command;
        if (!encoder.DecodeFrame(command, window, frameLength)) {
            ++skipped;
            ++position;
            continue;
        }
        sink.OnFrame(bytes.subspan(position - skipped, skipped), command,
                     static_cast<std::uint16_t>(skipped + frameLength));
        consumed += skipped + frameLength;
        position += frameLength;
        skipped = 0;
    }
    return consumed;
}

}  // namespace zarvik12m
