// Feeds arbitrary bytes to the receive path the way the receive thread
// meets them: they arrive in the port's input queue in chunks, and after
// each chunk a pass copies the queue, scans the copy for frames and
// removes each frame, with the bytes skipped before it, from the queue's
// front.
//
// Input: byte 0 is the largest chunk (0: everything in one chunk), byte 1
// seeds the sequence of chunk sizes; the rest is the byte stream.
//
// Properties checked after every frame and every pass:
// - every byte fed is in exactly one place: in a skipped run reported with
//   the frame after it, in a recognised frame, or still in the queue, and
//   these come in the order the bytes were fed;
// - what a pass consumed is what it reported, and the queue holds exactly
//   the bytes fed after them;
// - a recognised frame obeys the frame rules (accepted address, length
//   byte, checksum, the first fitting entry of what the register sends),
//   and no skipped or left-over position starts such a frame;
// - the records made (the frame's, and the command-66 record of skipped
//   bytes as the thread stores it) are whole.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "driver/port/com_port.h"
#include "driver/port/read_queue.h"
#include "driver/protocol/command_catalogue.h"
#include "driver/protocol/frame_codec.h"
#include "driver/protocol/frame_scan.h"
#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/fuzz_input.h"

namespace zarvik12m {
namespace {

using fuzz::TFuzzInput;

// The network numbers the engine serves here and their address bytes.
constexpr std::array<std::uint8_t, 4> NetNumbers = {1, 2, 12, 99};
constexpr std::array<std::uint8_t, 4> Addresses = {0x01, 0x02, 0x12, 0x99};

std::uint8_t SumComplement(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint8_t>(~sum & 0xFFU);
}

// The frame rules, written out on their own: the command number of the
// frame that starts the window (which holds at most one frame's worth of
// bytes), or 0 when none does.
std::uint8_t ExpectedCommandNumber(std::span<const std::uint8_t> window)
{
    if (window.size() < FrameOverhead || std::find(Addresses.begin(), Addresses.end(), window[0]) == Addresses.end()) {
        return 0;
    }
    const std::size_t length = std::size_t{window[1]} + FrameOverhead;
    if (length > window.size() || SumComplement(window.first(length - 1)) != window[length - 1]) {
        return 0;
    }
    for (std::uint8_t number = 1; number <= LastKKMResponse; ++number) {
        const TCommandDescriptor& entry = CommandCatalogue[number];
        if ((entry.PayloadLength == window[1] || entry.PayloadLength == AnyPayloadLength) &&
            entry.ProtocolCommand == window[2]) {
            return number;
        }
    }
    return 0;
}

std::span<const std::uint8_t> WindowAt(std::span<const std::uint8_t> bytes, std::size_t position)
{
    return bytes.subspan(position, std::min(bytes.size() - position, MaxFrameLength));
}

// The receive thread's side of the input queue, with a record of every
// byte fed to it.
class TReceiveSimulation final : public TFrameSink {
public:
    TReceiveSimulation(TFrameCodec& codec, TReadQueue& queue) : FCodec(codec), FQueue(queue) {}

    // Puts as much of the chunk as the queue has room for, as the read
    // thread does; returns how much that was.
    std::size_t Feed(std::span<const std::uint8_t> chunk)
    {
        const TCriticalSection::TGuard lock(FQueue);
        const std::size_t room = TReadQueue::Capacity - FQueue.Count();
        const std::span<const std::uint8_t> fitting = chunk.first(std::min(room, chunk.size()));
        if (!fitting.empty()) {
            FQueue.Put(fitting.data(), fitting.size());
            FFed.insert(FFed.end(), fitting.begin(), fitting.end());
        }
        return fitting.size();
    }

    // One pass of the thread over a fresh copy of the queue.
    void Pass()
    {
        std::size_t count = 0;
        {
            const TCriticalSection::TGuard lock(FQueue);
            count = FQueue.Count();
            if (count > 0) {
                FQueue.Peek(FCopy.data(), count);
            }
        }
        FPass = std::span<const std::uint8_t>(FCopy).first(count);
        FPassConsumed = 0;
        const std::size_t consumed = ScanForFrames(FCodec, FPass, *this);

        ZARVIK12M_FUZZ_CHECK(consumed == FPassConsumed);
        // Whatever was left is noise or an incomplete frame: no position of
        // it starts a frame that the bytes at hand complete.
        for (std::size_t position = consumed; position < FPass.size(); ++position) {
            ZARVIK12M_FUZZ_CHECK(ExpectedCommandNumber(WindowAt(FPass, position)) == 0);
        }
        CheckQueueHoldsTheRest();
    }

    [[nodiscard]] bool QueueFull() const { return FQueue.Count() == TReadQueue::Capacity; }

private:
    void OnFrame(std::span<const std::uint8_t> skipped, TCommand& command, std::uint16_t consumed) override
    {
        ZARVIK12M_FUZZ_CHECK(consumed > skipped.size());
        ZARVIK12M_FUZZ_CHECK(FPassConsumed + consumed <= FPass.size());
        const std::span<const std::uint8_t> reported = FPass.subspan(FPassConsumed, consumed);
        // The skipped run is the front of what the pass has not consumed.
        ZARVIK12M_FUZZ_CHECK(skipped.empty() || skipped.data() == reported.data());
        ZARVIK12M_FUZZ_CHECK(std::equal(skipped.begin(), skipped.end(), reported.begin()));
        ZARVIK12M_FUZZ_CHECK(
            std::equal(reported.begin(), reported.end(), FFed.begin() + static_cast<std::ptrdiff_t>(FConsumed)));

        for (std::size_t position = 0; position < skipped.size(); ++position) {
            ZARVIK12M_FUZZ_CHECK(ExpectedCommandNumber(WindowAt(FPass, FPassConsumed + position)) == 0);
        }
        CheckFrame(reported.subspan(skipped.size()), command);
        if (!skipped.empty()) {
            StoreSkipped(skipped);
        }

        const TCriticalSection::TGuard lock(FQueue);
        FQueue.Remove(consumed);
        FConsumed += consumed;
        FPassConsumed += consumed;
    }

    static void CheckFrame(std::span<const std::uint8_t> frame, const TCommand& command)
    {
        ZARVIK12M_FUZZ_CHECK(frame.size() >= FrameOverhead && frame.size() <= MaxFrameLength);
        ZARVIK12M_FUZZ_CHECK(std::size_t{frame[1]} + FrameOverhead == frame.size());
        const std::uint8_t number = command.CommandNumber;
        ZARVIK12M_FUZZ_CHECK(number >= 1 && number <= LastKKMResponse);
        ZARVIK12M_FUZZ_CHECK(ExpectedCommandNumber(frame) == number);
        ZARVIK12M_FUZZ_CHECK(command.CommandType == (number <= 10 ? ctKKMRequest : ctKKMResponse));
        ZARVIK12M_FUZZ_CHECK(command.ProtocolCommand == frame[2]);
        const auto address = std::find(Addresses.begin(), Addresses.end(), frame[0]);
        ZARVIK12M_FUZZ_CHECK(command.NetNumber == NetNumbers[static_cast<std::size_t>(address - Addresses.begin())]);
        ZARVIK12M_FUZZ_CHECK(command.ID != 0 && command.State == csCreated);
        ZARVIK12M_FUZZ_CHECK(command.Event != nullptr && command.Data != nullptr);
    }

    // What the thread stores for skipped bytes: a command-66 record holding
    // them.
    void StoreSkipped(std::span<const std::uint8_t> skipped)
    {
        const TCommand unknown = FCodec.InitCommand(UnknownCommand, 0);
        TFrameCodec::DecodeData(unknown, skipped);
        ZARVIK12M_FUZZ_CHECK(unknown.CommandType == ctUnknown && unknown.NetNumber == 0);
        const TCommand_Data& data = DataAs<TRX_UNKNOWN_DataIn>(unknown).Data;
        ZARVIK12M_FUZZ_CHECK(std::equal(data.begin(), data.end(), skipped.begin(), skipped.end()));
    }

    void CheckQueueHoldsTheRest()
    {
        const TCriticalSection::TGuard lock(FQueue);
        const std::size_t count = FQueue.Count();
        ZARVIK12M_FUZZ_CHECK(FConsumed + count == FFed.size());
        if (count > 0) {
            FQueue.Peek(FCopy.data(), count);
        }
        ZARVIK12M_FUZZ_CHECK(std::equal(FCopy.begin(), FCopy.begin() + static_cast<std::ptrdiff_t>(count),
                                        FFed.begin() + static_cast<std::ptrdiff_t>(FConsumed)));
    }

    TFrameCodec& FCodec;
    TReadQueue& FQueue;
    std::vector<std::uint8_t> FFed;  // every byte put into the queue, in order
    std::size_t FConsumed = 0;       // removed from the queue's front, in all
    std::array<std::uint8_t, TReadQueue::Capacity> FCopy{};
    std::span<const std::uint8_t> FPass;  // this pass's copy of the queue
    std::size_t FPassConsumed = 0;
};

// Chunk sizes 1..largest, from a small generator seeded by the input.
class TChunkSizes {
public:
    TChunkSizes(std::uint8_t largest, std::uint8_t seed) : FLargest(largest), FState(0x9E3779B9U ^ seed) {}

    std::size_t Next(std::size_t available)
    {
        if (FLargest == 0) {
            return available;
        }
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return 1 + FState % FLargest;
    }

private:
    std::uint32_t FLargest;
    std::uint32_t FState;
};

}  // namespace
}  // namespace zarvik12m

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m;
    TFuzzInput input(std::span(data, size));
    const std::uint8_t largest = input.Byte();
    TChunkSizes chunkSizes(largest, input.Byte());

    TFrameCodec codec(1, ByteSetOf({1, 2, 12, 99}));
    TCOMPort port(1);
    TReceiveSimulation simulation(codec, port.InputQueue());
    std::span<const std::uint8_t> stream = input.Rest();
    while (!stream.empty()) {
        const std::span<const std::uint8_t> chunk =
            stream.first(std::min(chunkSizes.Next(stream.size()), stream.size()));
        stream = stream.subspan(simulation.Feed(chunk));
        simulation.Pass();
        // A queue that stays full has overflowed in the real port; the
        // read thread stops there.
        if (simulation.QueueFull()) {
            break;
        }
    }
    return 0;
}
