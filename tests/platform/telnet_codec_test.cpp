#include "driver/platform/telnet_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zarvik12m {
namespace {

using TBytes = std::vector<std::uint8_t>;
using T = TTelnetCodec;

constexpr std::uint8_t Echo = 1;
constexpr std::uint8_t Linemode = 34;

// What one Decode call gives.
struct TDecoded {
    TBytes Data;
    TBytes Reply;
};

TDecoded Feed(TTelnetCodec& codec, const TBytes& in)
{
    TDecoded out;
    codec.Decode(in, out.Data, out.Reply);
    return out;
}

// The same bytes fed one at a time, as the slowest network would hand them.
TDecoded FeedByteByByte(TTelnetCodec& codec, const TBytes& in)
{
    TDecoded out;
    for (const std::uint8_t byte : in) {
        codec.Decode(TBytes{byte}, out.Data, out.Reply);
    }
    return out;
}

// Made at its full size: growing it piecewise trips g++ 12's false
// array-bounds warning at -O3.
TBytes Ack(std::uint8_t command, const TBytes& value)
{
    TBytes out(value.size() + 6);
    out[0] = T::Iac;
    out[1] = T::Sb;
    out[2] = T::ComPortOption;
    out[3] = static_cast<std::uint8_t>(T::ServerOffset + command);
    std::copy(value.begin(), value.end(), out.begin() + 4);
    out[out.size() - 2] = T::Iac;
    out[out.size() - 1] = T::Se;
    return out;
}

TBytes Concat(std::initializer_list<TBytes> parts)
{
    TBytes out;
    for (const TBytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A codec whose negotiation a server of the ser2net kind has answered.
TTelnetCodec Negotiated(bool comPort)
{
    TTelnetCodec codec(comPort);
    TBytes start;
    codec.Start(start);
    TBytes answer = {T::Iac, T::Do, T::BinaryOption, T::Iac, T::Will, T::BinaryOption};
    if (comPort) {
        answer.insert(answer.end(), {T::Iac, T::Do, T::ComPortOption});
    }
    Feed(codec, answer);
    return codec;
}

TEST(TelnetCodec, NegotiatesBinaryAndComPortControlWithAServerThatOffersMore)
{
    TTelnetCodec codec(true);
    TBytes start;
    codec.Start(start);
    EXPECT_EQ(start, (TBytes{T::Iac, T::Will, T::BinaryOption, T::Iac, T::Do, T::BinaryOption, T::Iac, T::Will,
                             T::ComPortOption}));
    EXPECT_FALSE(codec.NegotiationSettled());
    EXPECT_EQ(codec.ComPortAnswer(), T::taWaiting);

    // The server's own offers come first and arrive split byte by byte: go
    // ahead suppressed is taken, echo and line mode are not, and what the
    // client asked for is only agreed to, never asked again.
    const TDecoded out = FeedByteByByte(
        codec, {T::Iac, T::Will, T::SuppressGoAheadOption, T::Iac, T::Will, Echo, T::Iac, T::Dont, Linemode, T::Iac,
                T::Do, T::BinaryOption, T::Iac, T::Will, T::BinaryOption, T::Iac, T::Do, T::ComPortOption});
    EXPECT_TRUE(out.Data.empty());
    EXPECT_EQ(out.Reply, (TBytes{T::Iac, T::Do, T::SuppressGoAheadOption, T::Iac, T::Dont, Echo}));
    EXPECT_TRUE(codec.NegotiationSettled());
    EXPECT_EQ(codec.ComPortAnswer(), T::taAccepted);

    // The same offers again change nothing and draw no answer: no loop.
    EXPECT_TRUE(Feed(codec, {T::Iac, T::Do, T::BinaryOption, T::Iac, T::Will, T::SuppressGoAheadOption}).Reply.empty());
}

TEST(TelnetCodec, AServerThatRefusesIsTakenAtItsWord)
{
    TTelnetCodec codec(true);
    TBytes start;
    codec.Start(start);
    const TDecoded out = Feed(codec, {T::Iac, T::Dont, T::ComPortOption, T::Iac, T::Wont, T::BinaryOption, T::Iac,
                                      T::Dont, T::BinaryOption, T::Iac, T::Do, 99});
    EXPECT_EQ(out.Reply, (TBytes{T::Iac, T::Wont, 99}));
    EXPECT_TRUE(codec.NegotiationSettled());
    EXPECT_EQ(codec.ComPortAnswer(), T::taRefused);
    // A later offer of the refused option is declined, not taken.
    EXPECT_EQ(Feed(codec, {T::Iac, T::Do, T::ComPortOption}).Reply, (TBytes{T::Iac, T::Wont, T::ComPortOption}));
    EXPECT_EQ(codec.ComPortAnswer(), T::taRefused);

    // Plain Telnet never asks for Com Port Control.
    TTelnetCodec plain(false);
    TBytes plainStart;
    plain.Start(plainStart);
    EXPECT_EQ(plainStart.size(), 6U);
    EXPECT_EQ(Feed(plain, {T::Iac, T::Do, T::ComPortOption}).Reply, (TBytes{T::Iac, T::Wont, T::ComPortOption}));
}

TEST(TelnetCodec, LineSettingsWaitForEveryAcknowledgementWithTheValueAskedFor)
{
    TTelnetCodec codec = Negotiated(true);
    TBytes request;
    codec.EncodeLineSettings(0x0001C2FF, request);  // a rate whose last byte is IAC
    const TBytes expected = Concat({
        {T::Iac, T::Sb, T::ComPortOption, T::SetBaudRate, 0x00, 0x01, 0xC2, 0xFF, 0xFF, T::Iac, T::Se},
        {T::Iac, T::Sb, T::ComPortOption, T::SetDataSize, 8, T::Iac, T::Se},
        {T::Iac, T::Sb, T::ComPortOption, T::SetParity, T::ParityNone, T::Iac, T::Se},
        {T::Iac, T::Sb, T::ComPortOption, T::SetStopSize, T::StopSizeOne, T::Iac, T::Se},
        {T::Iac, T::Sb, T::ComPortOption, T::SetControl, T::ControlNoFlowControl, T::Iac, T::Se},
    });
    EXPECT_EQ(request, expected);
    EXPECT_EQ(codec.LineSettingsAnswer(), T::taWaiting);

    // Acknowledgements in another order, a notification between them.
    const TBytes acks =
        Concat({Ack(T::SetDataSize, {8}), Ack(T::SetControl, {1}), Ack(6, {0x60}), Ack(T::SetParity, {1}),
                Ack(T::SetBaudRate, {0x00, 0x01, 0xC2, 0xFF, 0xFF}), Ack(T::SetStopSize, {1})});
    const TBytes allButLast(acks.begin(), acks.end() - 7);
    EXPECT_TRUE(FeedByteByByte(codec, allButLast).Data.empty());
    EXPECT_EQ(codec.LineSettingsAnswer(), T::taWaiting);
    EXPECT_EQ(codec.AcknowledgedBaudRate(), 0x0001C2FFU);
    Feed(codec, TBytes(acks.end() - 7, acks.end()));
    EXPECT_EQ(codec.LineSettingsAnswer(), T::taAccepted);

    // A server that cannot run the rate says which it set: refused, and a
    // later report of the rate asked for does not undo that.
    codec.EncodeLineSettings(9600, request);
    Feed(codec, Concat({Ack(T::SetBaudRate, {0x00, 0x00, 0x25, 0x80}), Ack(T::SetDataSize, {8})}));
    EXPECT_EQ(codec.LineSettingsAnswer(), T::taWaiting);
    TTelnetCodec other = Negotiated(true);
    other.EncodeLineSettings(9600, request);
    Feed(other, Ack(T::SetBaudRate, {0x00, 0x00, 0x4B, 0x00}));
    EXPECT_EQ(other.LineSettingsAnswer(), T::taRefused);
    EXPECT_EQ(other.AcknowledgedBaudRate(), 19200U);
    Feed(other, Ack(T::SetBaudRate, {0x00, 0x00, 0x25, 0x80}));
    EXPECT_EQ(other.LineSettingsAnswer(), T::taRefused);

    TBytes purge;
    codec.EncodePurge(purge);
    EXPECT_EQ(purge, (TBytes{T::Iac, T::Sb, T::ComPortOption, T::PurgeData, T::PurgeBoth, T::Iac, T::Se}));
    EXPECT_EQ(codec.PurgeAnswer(), T::taWaiting);
    Feed(codec, Ack(T::PurgeData, {T::PurgeBoth}));
    EXPECT_EQ(codec.PurgeAnswer(), T::taAccepted);

    Feed(codec, Ack(T::FlowControlSuspend, {}));
    EXPECT_TRUE(codec.FlowSuspended());
    Feed(codec, Ack(T::FlowControlResume, {}));
    EXPECT_FALSE(codec.FlowSuspended());
}

TEST(TelnetCodec, LineBytesSurviveEveryTelnetSequenceAndEverySplit)
{
    // Frames carry 0xFF in prices, quantities and checksums, and CR bytes.
    const TBytes line = {0x01, 0xFF, 0x0D, 0x00, 0xFF, 0xFF, 0x0D, 0x0A, 0xF0, 0xFA, 0x7F};
    TTelnetCodec sender = Negotiated(true);
    TBytes wire;
    sender.EncodeData(line, wire);
    EXPECT_EQ(wire, (TBytes{0x01, 0xFF, 0xFF, 0x0D, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D, 0x0A, 0xF0, 0xFA, 0x7F}));

    // The server's stream: the line's bytes with a notification, a no-op
    // and a negotiation in the middle, cut at every position.
    const TBytes stream = Concat({TBytes(wire.begin(), wire.begin() + 3),
                                  Ack(7, {0x30}),
                                  {T::Iac, 0xF1},
                                  TBytes(wire.begin() + 3, wire.begin() + 9),
                                  {T::Iac, T::Will, Echo},
                                  TBytes(wire.begin() + 9, wire.end())});
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        TTelnetCodec receiver = Negotiated(true);
        TDecoded out = Feed(receiver, TBytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)));
        const TDecoded rest = Feed(receiver, TBytes(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end()));
        out.Data.insert(out.Data.end(), rest.Data.begin(), rest.Data.end());
        out.Reply.insert(out.Reply.end(), rest.Reply.begin(), rest.Reply.end());
        EXPECT_EQ(out.Data, line) << "cut at " << cut;
        EXPECT_EQ(out.Reply, (TBytes{T::Iac, T::Dont, Echo})) << "cut at " << cut;
    }
}

TEST(TelnetCodec, BeforeBinaryIsAgreedCarriageReturnsFollowTheTelnetRule)
{
    TTelnetCodec codec(false);
    TBytes wire;
    codec.EncodeData(TBytes{0x0D, 0x41}, wire);
    EXPECT_EQ(wire, (TBytes{0x0D, 0x00, 0x41}));
    EXPECT_EQ(Feed(codec, {0x0D, 0x00, 0x0D, 0x0A, 0x0D, 0x0D, 0x00, 0x42}).Data,
              (TBytes{0x0D, 0x0D, 0x0A, 0x0D, 0x0D, 0x42}));

    TTelnetCodec binary = Negotiated(false);
    EXPECT_EQ(Feed(binary, {0x0D, 0x00, 0x42}).Data, (TBytes{0x0D, 0x00, 0x42}));
}

TEST(TelnetCodec, MalformedSubnegotiationsAreConsumedWithoutHarm)
{
    TTelnetCodec codec = Negotiated(true);
    TBytes request;
    codec.EncodeLineSettings(9600, request);
    // Too long to be an answer, a wrong length, another option, an
    // unfinished one ended by a command: none is taken as an answer.
    TBytes tooLong = {T::Iac, T::Sb, T::ComPortOption, T::ServerOffset + T::SetBaudRate};
    tooLong.insert(tooLong.end(), 40, 0x00);
    tooLong.insert(tooLong.end(), {T::Iac, T::Se});
    const TBytes input = Concat({tooLong,
                                 Ack(T::SetBaudRate, {0x00, 0x25, 0x80}),
                                 {T::Iac, T::Sb, 24, T::ServerOffset + T::SetDataSize, 8, T::Iac, T::Se},
                                 {T::Iac, T::Sb, T::ComPortOption, T::ServerOffset + T::SetParity, 1, T::Iac, T::Iac},
                                 {T::Iac, T::Do, 77},
                                 {0x55}});
    const TDecoded out = Feed(codec, input);
    EXPECT_EQ(out.Data, (TBytes{0x55}));
    EXPECT_EQ(out.Reply, (TBytes{T::Iac, T::Wont, 77}));
    EXPECT_EQ(codec.LineSettingsAnswer(), T::taWaiting);
    EXPECT_EQ(codec.AcknowledgedBaudRate(), 0U);
}

}  // namespace
}  // namespace zarvik12m
