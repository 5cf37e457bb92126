#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/common/errors.h"
#include "driver/processing/command_encoder.h"
#include "tests/protocol/wire_bytes.h"

namespace zarvik12m {
namespace {

using testing::Blanks;
using testing::Frame;
using testing::Hex;
using testing::Join;
using testing::TBytes;

using TFrameBuffer = std::array<std::uint8_t, MaxFrameLength>;

constexpr std::uint8_t Port = 3;

TBytes Encode(const TCommandEncoder& encoder, const TCommand& command)
{
    TFrameBuffer buffer{};
    const std::uint8_t length = encoder.EncodeFrame(command, buffer);
    return {buffer.begin(), buffer.begin() + length};
}

TEST(Frame, ExampleFramesByteForByte)
{
    TCommandEncoder encoder(Port, ByteSetOf({1, 12}));

    EXPECT_EQ(Encode(encoder, encoder.InitCommand(58, 1)), Hex("01 00 1B E3"));

    TCommand read = encoder.InitCommand(48, 1);
    DataAs<TTX_READ_TOV_DataIn>(read).Argument = 1;
    EXPECT_EQ(Encode(encoder, read), Hex("01 02 24 00 01 D7"));

    EXPECT_EQ(Encode(encoder, encoder.InitCommand(50, 12)), Hex("12 00 1A D3"));
}

TEST(Frame, UsesTheCataloguesCodeNotTheRecords)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    TCommand command = encoder.InitCommand(58, 1);
    command.ProtocolCommand = 0x77;
    EXPECT_EQ(Encode(encoder, command), Hex("01 00 1B E3"));
}

TEST(Frame, AddressIsTheNetworkNumberInBCD)
{
    struct TCase {
        std::uint8_t NetNumber;
        std::uint8_t Address;
    };
    const TCase cases[] = {{1, 0x01}, {10, 0x10}, {12, 0x12}, {47, 0x47}, {99, 0x99}};
    for (const TCase& c : cases) {
        TCommandEncoder encoder(Port, ByteSetOf({c.NetNumber}));
        EXPECT_EQ(encoder.AddressSet(), ByteSetOf({c.Address})) << int{c.NetNumber};
        EXPECT_EQ(Encode(encoder, encoder.InitCommand(58, c.NetNumber))[0], c.Address) << int{c.NetNumber};

        // ... and a received address byte gives the network number back.
        TCommand decoded;
        std::uint16_t length = 0;
        ASSERT_TRUE(encoder.DecodeFrame(decoded, Frame(c.Address, 0x1A, {0x00}), length));
        EXPECT_EQ(decoded.NetNumber, c.NetNumber);
    }
}

TEST(Frame, AddressSetIgnoresNumbersOutsideOneToNinetyNine)
{
    EXPECT_TRUE(TCommandEncoder(Port, ByteSetOf({0, 100, 255})).AddressSet().none());
    EXPECT_EQ(TCommandEncoder(Port, ByteSetOf({0, 5, 100})).AddressSet(), ByteSetOf({0x05}));
}

TEST(Frame, CommandTypeFollowsTheNumberRanges)
{
    struct TCase {
        std::uint8_t Number;
        TCommandType Type;
    };
    const TCase cases[] = {{0, ctUnknown},        {1, ctKKMRequest},      {10, ctKKMRequest},     {11, ctKKMResponse},
                           {31, ctKKMResponse},   {32, ctServerResponse}, {47, ctServerResponse}, {48, ctServerCommand},
                           {65, ctServerCommand}, {66, ctUnknown},        {67, ctUnknown},        {255, ctUnknown}};
    for (const TCase& c : cases) {
        EXPECT_EQ(TCommandEncoder::CommandTypeOf(c.Number), c.Type) << int{c.Number};
    }
}

// Encoding must raise the error and leave the frame buffer as it was.
void ExpectEncodingRaises(const TCommandEncoder& encoder, const TCommand& command, std::int16_t code,
                          const std::string& message)
{
    SCOPED_TRACE("command " + std::to_string(command.CommandNumber));
    TFrameBuffer buffer;
    buffer.fill(0xAA);
    try {
        encoder.EncodeFrame(command, buffer);
        ADD_FAILURE() << "no error";
    } catch (const EZarvik12mError& error) {
        EXPECT_EQ(error.ErrorCode(), code);
        EXPECT_EQ(error.what(), message);
    }
    TFrameBuffer untouched;
    untouched.fill(0xAA);
    EXPECT_EQ(buffer, untouched);
}

TEST(Frame, UnknownCommandNumberRaisesWithoutTouchingTheFrame)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    for (const std::uint8_t number : TBytes{0, 67, 255}) {
        TCommand command;
        command.CommandNumber = number;
        command.NetNumber = 7;
        ExpectEncodingRaises(encoder, command, ecUnknownCommand,
                             std::string("[COM3 NetNum7] Ошибка кодирования команды: Команды с номером "_cp1251) +
                                 std::to_string(number) + std::string(" не существует"_cp1251));
    }
}

TEST(Frame, PayloadsOfAnyLengthThatCannotBeSentRaise)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    for (const std::uint8_t number : TBytes{9, 10, 30, 66}) {
        ExpectEncodingRaises(
            encoder, encoder.InitCommand(number, 1), ecCommandDataSize,
            std::string("[COM3 NetNum1] Ошибка кодирования команды: Некоректный размер данных команды"_cp1251));
    }
}

TEST(Frame, WriteToParameterMemoryFitsUpTo246DataBytes)
{
    TCommandEncoder encoder(Port, ByteSetOf({1}));
    TCommand command = encoder.InitCommand(65, 1);
    auto& record = DataAs<TTX_WRITE_RPZU_DataIn>(command);
    record.Field1 = 0x01;
    record.Field2 = 0x00000010;
    record.Data.assign(246, 0x5A);

    const TBytes frame = Encode(encoder, command);
    ASSERT_EQ(frame.size(), 255U);
    EXPECT_EQ(TBytes(frame.begin(), frame.begin() + 8), Hex("01 FB 02 01 00 00 00 10"));
    EXPECT_EQ(TBytes(frame.begin() + 8, frame.end() - 1), TBytes(246, 0x5A));

    record.Data.push_back(0x5A);
    ExpectEncodingRaises(
        encoder, command, ecCommandDataSize,
        std::string("[COM3 NetNum1] Ошибка кодирования команды: Некоректный размер данных команды"_cp1251));

    record.Data.clear();
    EXPECT_EQ(Encode(encoder, command), Hex("01 05 02 01 00 00 00 10 E6"));
}

TEST(Frame, ChecksumIsTheComplementOfTheByteSum)
{
    EXPECT_EQ(TCommandEncoder::Checksum(Hex("01 00 1B")), 0xE3);
    EXPECT_EQ(TCommandEncoder::Checksum(TBytes{}), 0xFF);
    EXPECT_EQ(TCommandEncoder::Checksum(Hex("FF 01")), 0xFF);  // the sum wraps at 256
    EXPECT_EQ(TCommandEncoder::Checksum(Hex("80 7F")), 0x00);
}

class TDecodeFrame : public ::testing::Test {
protected:
    // A receive-side view of a frame: the command it gave, if any.
    struct TResult {
        bool Recognised = false;
        std::uint8_t CommandNumber = 0;
        std::uint16_t Length = 0;
    };

    TResult Decode(const TBytes& bytes)
    {
        TResult result;
        TCommand command;
        result.Length = 0xBEEF;
        result.Recognised = FEncoder.DecodeFrame(command, bytes, result.Length);
        result.CommandNumber = command.CommandNumber;
        return result;
    }

    TCommandEncoder FEncoder{Port, ByteSetOf({1})};
};

TEST_F(TDecodeFrame, RefusesWhatIsNoFrameOfTheRegister)
{
    struct TCase {
        const char* What;
        TBytes Bytes;
    };
    TBytes wrongChecksum = Frame(0x01, 0x1A, {0x00});
    wrongChecksum.back() ^= 0x01;
    const TCase cases[] = {
        {"three bytes", Hex("01 00 1B")},
        {"nothing", {}},
        {"foreign address", Frame(0x02, 0x1A, {0x00})},
        {"address of number 1 in binary form", Frame(0x0A, 0x1A, {0x00})},
        {"server command 50 (kind 4)", Frame(0x01, 0x1A, {})},
        {"server command 58 (kind 4)", Hex("01 00 1B E3")},
        {"server response 33 (kind 3)", Frame(0x01, 0x08, {0x00})},
        {"server response 32 (kind 3)", Frame(0x01, 0x08, TBytes(25, 0x00))},
        {"wrong checksum", wrongChecksum},
        {"unknown code", Frame(0x01, 0x77, {0x00})},
        {"code 24, two bytes", Frame(0x01, 0x24, {0x00, 0x00})},
        {"code 24, 37 bytes", Frame(0x01, 0x24, TBytes(37, 0x20))},
        {"code 24, 39 bytes", Frame(0x01, 0x24, TBytes(39, 0x20))},
        {"code 12, 2 bytes", Frame(0x01, 0x12, {0x00, 0x00})},
    };
    for (const TCase& c : cases) {
        const TResult result = Decode(c.Bytes);
        EXPECT_FALSE(result.Recognised) << c.What;
        EXPECT_EQ(result.Length, 0xBEEF) << c.What;
        EXPECT_EQ(result.CommandNumber, 0) << c.What;
    }
}

TEST_F(TDecodeFrame, PayloadLengthTellsTheAnswersOfOneCodeApart)
{
    struct TCase {
        TBytes Bytes;
        std::uint8_t CommandNumber;
    };
    const TCase cases[] = {
        {Frame(0x01, 0x24, {0x07}), 12}, {Frame(0x01, 0x24, TBytes(38, 0x20)), 11},
        {Frame(0x01, 0x12, {0x00}), 19}, {Frame(0x01, 0x12, TBytes(27, 0x00)), 18},
        {Frame(0x01, 0x1D, {0x00}), 22}, {Frame(0x01, 0x1D, TBytes(12, 0x00)), 21},
    };
    for (const TCase& c : cases) {
        const TResult result = Decode(c.Bytes);
        EXPECT_TRUE(result.Recognised) << int{c.CommandNumber};
        EXPECT_EQ(result.CommandNumber, c.CommandNumber);
        EXPECT_EQ(result.Length, c.Bytes.size());
    }
}

TEST_F(TDecodeFrame, IncompleteFrameConsumesNothingUntilItsLastByteArrives)
{
    const TBytes frame = Frame(0x01, 0x24, {0x07});
    for (std::size_t offered = 0; offered < frame.size(); ++offered) {
        const TResult result = Decode(TBytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(offered)));
        EXPECT_FALSE(result.Recognised) << offered;
        EXPECT_EQ(result.Length, 0xBEEF) << offered;
    }
    const TResult whole = Decode(Join({frame, Hex("01 02 03")}));
    EXPECT_TRUE(whole.Recognised);
    EXPECT_EQ(whole.Length, frame.size());
    EXPECT_EQ(whole.CommandNumber, 12);
}

TEST_F(TDecodeFrame, LooksOnlyAtTheFirstByteOffered)
{
    EXPECT_FALSE(Decode(Join({{0x00}, Frame(0x01, 0x24, {0x07})})).Recognised);
}

TEST_F(TDecodeFrame, MakesAFreshRecordHoldingThePayload)
{
    const TDateTime before = Now();
    TCommand command;
    std::uint16_t length = 0;
    ASSERT_TRUE(FEncoder.DecodeFrame(command, Frame(0x01, 0x24, {0x07}), length));
    EXPECT_EQ(command.ID, 1U);
    EXPECT_EQ(command.CommandType, ctKKMResponse);
    EXPECT_EQ(command.State, csCreated);
    EXPECT_GE(command.StateTime, before);
    EXPECT_LE(command.StateTime, Now());
    ASSERT_NE(command.Event, nullptr);
    EXPECT_EQ(command.NetNumber, 1);
    EXPECT_EQ(command.ProtocolCommand, 0x24);
    EXPECT_EQ(command.CommandNumber, 12);
    EXPECT_EQ(DataAs<TRX_READ_TOV_ERROR_DataIn>(command).Result, 7);
}

TEST_F(TDecodeFrame, NoFrameIsLongerThan255Bytes)
{
    // Command 9 takes any length, but a length byte above 251 fits no frame.
    EXPECT_FALSE(Decode(Frame(0x01, 0x23, TBytes(252, 0x00))).Recognised);
    const TResult longest = Decode(Frame(0x01, 0x23, TBytes(251, 0x00)));
    EXPECT_TRUE(longest.Recognised);
    EXPECT_EQ(longest.Length, 255);
}

}  // namespace
}  // namespace zarvik12m
