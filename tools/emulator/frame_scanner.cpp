#include "tools/emulator/frame_scanner.h"

#include "tools/emulator/catalogue.h"

#include <utility>

namespace zarvik12m::emulator {

TFrameScanner::TStep TFrameScanner::Take(TStepKind kind, std::size_t count)
{
    TStep step{kind, {}, {}};
    for (std::size_t i = 0; i < count; ++i) {
        step.Bytes.push_back(FInput.front().Byte);
        FInput.pop_front();
    }
    return step;
}

TFrameScanner::TStep TFrameScanner::Incomplete(std::size_t arrived, TClock::time_point now)
{
    if (arrived < FInput.size()) {
        return {skWait, {}, FInput[arrived].At};  // still crossing the line
    }
    const TClock::time_point stalled = FInput.back().At + FStallTimeout;
    if (now >= stalled) {
        return Take(skSkip, 1);
    }
    return {skWait, {}, stalled};
}

TFrameScanner::TStep TFrameScanner::Next(TClock::time_point now)
{
    if (FInput.empty()) {
        return {};
    }
    std::size_t arrived = 0;
    while (arrived < FInput.size() && FInput[arrived].At <= now) {
        ++arrived;
    }
    if (arrived == 0) {
        return {skWait, {}, FInput.front().At};
    }
    if (NetNumberOf(FInput[0].Byte) == 0) {
        return Take(skSkip, 1);
    }
    if (arrived < 3) {
        return Incomplete(arrived, now);
    }
    const std::uint8_t length = FInput[1].Byte;
    if (length > MaxPayloadLength || MessageOf(FInput[2].Byte, length) == 0) {
        return Take(skSkip, 1);
    }
    const std::size_t frameLength = length + FrameOverhead;
    if (arrived < frameLength) {
        return Incomplete(arrived, now);
    }
    TBytes frame(frameLength);
    for (std::size_t i = 0; i < frameLength; ++i) {
        frame[i] = FInput[i].Byte;
    }
    if (FrameChecksum(std::span(frame).first(frameLength - 1)) != frame.back()) {
        return Take(skSkip, 1);
    }
    FInput.erase(FInput.begin(), FInput.begin() + static_cast<std::ptrdiff_t>(frameLength));
    return {skFrame, std::move(frame), {}};
}

}  // namespace zarvik12m::emulator
