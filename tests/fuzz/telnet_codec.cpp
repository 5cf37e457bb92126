// Feeds arbitrary bytes to the Telnet codec as a serial port server's
// stream, and arbitrary line bytes through a sender and a receiver.
//
// Input: byte 0 seeds the sizes of the chunks the stream is cut into, byte 1
// says whether the codec uses Com Port Control, byte 2 how many of the
// following bytes are the server's stream; the rest is the line's bytes.
//
// Properties:
// - the stream gives the same line bytes and the same replies whether it
//   comes whole or in chunks;
// - no input byte yields more than one line byte or three reply bytes, and
//   the replies are whole negotiation commands;
// - line bytes sent through one codec and received by another, both past
//   their negotiation, come out exactly as they went in.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "driver/platform/telnet_codec.h"
#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/fuzz_input.h"

namespace zarvik12m {
namespace {

using fuzz::TFuzzInput;
using TBytes = std::vector<std::uint8_t>;

void CheckStream(bool comPort, std::uint8_t chunkSeed, std::span<const std::uint8_t> stream)
{
    TTelnetCodec whole(comPort);
    TBytes start;
    whole.Start(start);
    TBytes wholeData;
    TBytes wholeReply;
    whole.Decode(stream, wholeData, wholeReply);
    ZARVIK12M_FUZZ_CHECK(wholeData.size() <= stream.size());
    ZARVIK12M_FUZZ_CHECK(wholeReply.size() <= 3 * stream.size());
    ZARVIK12M_FUZZ_CHECK(wholeReply.size() % 3 == 0);
    for (std::size_t i = 0; i < wholeReply.size(); i += 3) {
        ZARVIK12M_FUZZ_CHECK(wholeReply[i] == TTelnetCodec::Iac);
        ZARVIK12M_FUZZ_CHECK(wholeReply[i + 1] >= TTelnetCodec::Will);
        ZARVIK12M_FUZZ_CHECK(wholeReply[i + 1] != TTelnetCodec::Iac);
    }

    TTelnetCodec chunked(comPort);
    chunked.Start(start);
    TBytes data;
    TBytes reply;
    unsigned seed = chunkSeed;
    std::size_t position = 0;
    while (position < stream.size()) {
        seed = seed * 1103515245U + 12345U;
        const std::size_t size = 1 + ((seed >> 16U) % 7U);
        const std::size_t count = size < stream.size() - position ? size : stream.size() - position;
        chunked.Decode(stream.subspan(position, count), data, reply);
        position += count;
    }
    ZARVIK12M_FUZZ_CHECK(data == wholeData);
    ZARVIK12M_FUZZ_CHECK(reply == wholeReply);
    ZARVIK12M_FUZZ_CHECK(chunked.LineSettingsAnswer() == whole.LineSettingsAnswer());
    ZARVIK12M_FUZZ_CHECK(chunked.ComPortAnswer() == whole.ComPortAnswer());
}

void CheckRoundTrip(bool comPort, std::span<const std::uint8_t> line)
{
    // Both ends past a negotiation that agreed to binary both ways.
    const TBytes agreed = {TTelnetCodec::Iac, TTelnetCodec::Do,   TTelnetCodec::BinaryOption,
                           TTelnetCodec::Iac, TTelnetCodec::Will, TTelnetCodec::BinaryOption};
    TTelnetCodec sender(comPort);
    TTelnetCodec receiver(comPort);
    TBytes scratch;
    sender.Start(scratch);
    receiver.Start(scratch);
    TBytes ignored;
    sender.Decode(agreed, ignored, scratch);
    receiver.Decode(agreed, ignored, scratch);

    TBytes wire;
    sender.EncodeData(line, wire);
    TBytes data;
    TBytes reply;
    receiver.Decode(wire, data, reply);
    ZARVIK12M_FUZZ_CHECK(reply.empty());
    ZARVIK12M_FUZZ_CHECK(TBytes(line.begin(), line.end()) == data);
}

}  // namespace
}  // namespace zarvik12m

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zarvik12m::fuzz::TFuzzInput input(std::span(data, size));
    const std::uint8_t chunkSeed = input.Byte();
    const bool comPort = (input.Byte() & 1U) != 0;
    const std::span<const std::uint8_t> stream = input.Bytes(input.Byte());
    zarvik12m::CheckStream(comPort, chunkSeed, stream);
    zarvik12m::CheckRoundTrip(comPort, input.Rest());
    return 0;
}
