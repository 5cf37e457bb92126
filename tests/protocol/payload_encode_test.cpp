#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/processing/command_encoder.h"
#include "tests/protocol/record_fields.h"
#include "tests/protocol/wire_bytes.h"

// Payloads of what the driver sends, against bytes written out from the
// register's layouts. DOS Cyrillic bytes of the names used: Сыр = 91 EB E0,
// Хлеб = 95 AB A5 A1, Ёлка = F0 AB AA A0.

namespace zarvik12m {
namespace {

using testing::Ascii;
using testing::Blanks;
using testing::DateTime;
using testing::FieldsOf;
using testing::Frame;
using testing::Hex;
using testing::Join;
using testing::TBytes;

template <std::size_t N>
TZarvik12m_ShortString<N> Text(std::string_view text)
{
    return TZarvik12m_ShortString<N>::FromText(text);
}

struct TEncodeCase {
    std::string What;
    std::uint8_t Number;
    std::function<void(TCommand&)> Fill;
    TBytes Payload;
};

// The frame of the command to network number 1, built by EncodeFrame.
TBytes EncodedFrame(const TEncodeCase& c)
{
    TCommandEncoder encoder(1, ByteSetOf({1}));
    TCommand command = encoder.InitCommand(c.Number, 1);
    if (c.Fill) {
        c.Fill(command);
    }
    std::array<std::uint8_t, MaxFrameLength> buffer{};
    const std::uint8_t length = encoder.EncodeFrame(command, buffer);
    return {buffer.begin(), buffer.begin() + length};
}

void ExpectPayloads(const std::vector<TEncodeCase>& cases)
{
    for (const TEncodeCase& c : cases) {
        EXPECT_EQ(EncodedFrame(c), Frame(0x01, CommandCatalogue[c.Number].ProtocolCommand, c.Payload))
            << c.What << " (command " << int{c.Number} << ")";
    }
}

TEST(EncodePayload, EveryLayoutTheDriverSends)
{
    std::vector<TEncodeCase> cases = {
        {"goods found by code", 32,
         [](TCommand& c) {
             DataAs<TTX_TOV_FOUND_BY_CODE_DataIn>(c) = {{125000, Text<16>("Сыр"_cp1251), 7, 2.5}};
         },
         Join({Hex("00 00 00 0C"), Hex("91 EB E0"), Blanks(13), Hex("07"), Hex("00 00 09 C4")})},
        {"goods found by barcode", 34,
         [](TCommand& c) {
             DataAs<TTX_TOV_FOUND_BY_SHK_DataIn>(c) = {{135000, Text<16>(""), 0xFF, 0.001}};
         },
         Join({Hex("00 00 00 0E"), Blanks(16), Hex("FF"), Hex("00 00 00 01")})},
        {"authorisation granted", 40,
         [](TCommand& c) {
             DataAs<TTX_AVT_OK_BY_CODE_DataIn>(c) = {
                 {1, 12.34F, Text<26>("Ёлка"_cp1251), Text<26>(""), Text<26>("ABCDEFGHIJKLMNOPQRSTUVWXYZ")}};
         },
         Join({Hex("01 04 D2"), Hex("F0 AB AA A0"), Blanks(22), Blanks(26), Ascii("ABCDEFGHIJKLMNOPQRSTUVWXYZ")})},
        {"goods number to read", 48, [](TCommand& c) { DataAs<TTX_READ_TOV_DataIn>(c).Argument = 0x0FA0; },
         Hex("0F A0")},
        {"goods to write", 49,
         [](TCommand& c) {
             DataAs<TZarvik12m_GoodsItem>(c) = {0x0102, Text<13>("123"), 135000, Text<16>("Хлеб"_cp1251), 3, 1.5};
         },
         Join({Hex("01 02"), Blanks(10), Ascii("123"), Hex("00 00 00 0E"), Hex("95 AB A5 A1"), Blanks(12), Hex("03"),
               Hex("00 00 05 DC")})},
        {"goods to write, barcode with trailing blanks and full width", 49,
         [](TCommand& c) {
             auto& goods = DataAs<TZarvik12m_GoodsItem>(c);
             goods.Code = 4000;
             goods.Barcode = Text<13>("46 1  ");
             goods.Name = Text<16>("ABCDEFGHIJKLMNOP");
         },
         Join({Hex("0F A0"), Blanks(9), Ascii("46 1"), Hex("00 00 00 00"), Ascii("ABCDEFGHIJKLMNOP"), Hex("00"),
               Hex("00 00 00 00")})},
        {"purchase", 51,
         [](TCommand& c) {
             DataAs<TTX_FILL_PURCHASE_DataIn>(c) = {
                 {1, 2, 2.5, 1000000, 0.125F, 6, -125000, 8, Text<13>("ab"), 10, Text<16>("Сыр"_cp1251)}};
         },
         Join({Hex("01 02 00 00 09 C4 00 00 00 64 00 0C 06 FF FF FF F4 08"), Blanks(11), Ascii("ab"), Hex("0A"),
               Hex("91 EB E0"), Blanks(13)})},
        {"delete purchase", 52, [](TCommand& c) { DataAs<TTX_DELETE_PURCHASE_DataIn>(c).Argument = 0x34; }, Hex("34")},
        {"close receipt", 54,
         [](TCommand& c) {
             DataAs<TTX_CLOSE_CHECK_DataIn>(c) = {0x01, 999999};
         },
         Hex("01 00 00 00 64")},
        {"press keys", 55, [](TCommand& c) { DataAs<TTX_PRESS_KEYS_DataIn>(c).Argument = 0x55; }, Hex("55")},
        {"set date and time", 60,
         [](TCommand& c) {
             DataAs<TTX_SET_DATE_TIME_DataIn>(c) = {{DateTime(2026, 12, 7, 15, 30, 45), 5}};
         },
         Hex("07 12 26 15 30 05")},
        {"lock keyboard", 61, [](TCommand& c) { DataAs<TTX_LOCK_KEYBOARD_DataIn>(c).Argument = 1; }, Hex("01")},
        {"display line", 62,
         [](TCommand& c) {
             DataAs<TTX_DISPLAY_DataIn>(c) = {1, 0, Text<16>("Сыр"_cp1251)};
         },
         Join({Hex("02 91 EB E0"), Blanks(13)})},
        {"read control tape", 63, [](TCommand& c) { DataAs<TTX_READ_TAPE_DataIn>(c).Argument = 0x1234; }, Hex("12 34")},
        {"read parameter memory", 64,
         [](TCommand& c) {
             DataAs<TTX_READ_RPZU_DataIn>(c) = {3, 0x01020304};
         },
         Hex("03 01 02 03 04")},
        {"read parameter memory, negative", 64,
         [](TCommand& c) {
             DataAs<TTX_READ_RPZU_DataIn>(c) = {3, -2};
         },
         Hex("03 FF FF FF FE")},
        {"write parameter memory", 65,
         [](TCommand& c) {
             DataAs<TTX_WRITE_RPZU_DataIn>(c) = {1, 0x10, {0xAA, 0xBB}};
         },
         Hex("01 00 00 00 10 AA BB")},
    };
    for (const std::uint8_t answer : TBytes{33, 35, 36, 37, 38, 39, 41, 43, 45, 47}) {
        cases.push_back({"one-byte answer",
                         answer,
                         [answer](TCommand& c) { FieldsOf<TAnswerFields>(c).Answer = answer; },
                         {answer}});
    }
    for (const std::uint8_t granted : TBytes{42, 44, 46}) {
        cases.push_back(
            {"authorisation granted, same layout", granted,
             [](TCommand& c) {
                 FieldsOf<TAuthorisationGrantedFields>(c) = {0x80, 0.0F, Text<26>("1"), Text<26>("2"), Text<26>("3")};
             },
             Join({Hex("80 00 00 31"), Blanks(25), Hex("32"), Blanks(25), Hex("33"), Blanks(25)})});
    }
    for (const std::uint8_t number : TBytes{50, 53, 56, 57, 58, 59}) {
        cases.push_back({"no payload", number, nullptr, {}});
    }
    ExpectPayloads(cases);
}

TEST(EncodePayload, CurrencyGoesAsWholeUnitsHalvesToEven)
{
    struct TCase {
        std::int64_t Currency;  // value x 10000
        const char* Wire;
    };
    const TCase cases[] = {
        {125000, "00 00 00 0C"},          // 12.5 -> 12
        {135000, "00 00 00 0E"},          // 13.5 -> 14
        {124999, "00 00 00 0C"},          // 12.4999 -> 12
        {125001, "00 00 00 0D"},          // 12.5001 -> 13
        {5000, "00 00 00 00"},            // 0.5 -> 0
        {15000, "00 00 00 02"},           // 1.5 -> 2
        {-125000, "FF FF FF F4"},         // -12.5 -> -12
        {-135000, "FF FF FF F2"},         // -13.5 -> -14
        {-5001, "FF FF FF FF"},           // -0.5001 -> -1
        {42949672950000, "FF FF FF FF"},  // 4294967295
        {42949672960000, "00 00 00 00"},  // 2^32: only the low 32 bits go
    };
    std::vector<TEncodeCase> encodeCases;
    for (const TCase& c : cases) {
        encodeCases.push_back({std::to_string(c.Currency), 54,
                               [c](TCommand& command) { DataAs<TTX_CLOSE_CHECK_DataIn>(command).Field2 = c.Currency; },
                               Join({Hex("00"), Hex(c.Wire)})});
    }
    ExpectPayloads(encodeCases);
}

TEST(EncodePayload, ScaledNumbersRoundHalvesToEven)
{
    struct TCase {
        double Value;
        const char* Wire;
    };
    // Three decimals, as the goods quantity.
    const TCase thousandths[] = {
        {2.5, "00 00 09 C4"},
        {0.0625, "00 00 00 3E"},  // 62.5 -> 62
        {0.1875, "00 00 00 BC"},  // 187.5 -> 188
        {-0.001, "FF FF FF FF"},
        {std::numeric_limits<double>::quiet_NaN(), "00 00 00 00"},
        {std::numeric_limits<double>::infinity(), "00 00 00 00"},
    };
    std::vector<TEncodeCase> encodeCases;
    for (const TCase& c : thousandths) {
        encodeCases.push_back(
            {std::to_string(c.Value), 32,
             [c](TCommand& command) { DataAs<TTX_TOV_FOUND_BY_CODE_DataIn>(command).Quantity = c.Value; },
             Join({Hex("00 00 00 00"), Blanks(16), Hex("00"), Hex(c.Wire)})});
    }
    // Two decimals.
    const TCase hundredths[] = {{0.125, "00 0C"}, {0.375, "00 26"}, {12.34, "04 D2"}, {655.35, "FF FF"}};
    for (const TCase& c : hundredths) {
        encodeCases.push_back({std::to_string(c.Value), 40,
                               [c](TCommand& command) {
                                   DataAs<TTX_AVT_OK_BY_CODE_DataIn>(command).Field2 = static_cast<float>(c.Value);
                               },
                               Join({Hex("00"), Hex(c.Wire), Blanks(78)})});
    }
    ExpectPayloads(encodeCases);
}

TEST(EncodePayload, DisplayFlagsKeepOnlyTheirLowestBit)
{
    struct TCase {
        std::uint8_t First;
        std::uint8_t Second;
        std::uint8_t Wire;
    };
    const TCase cases[] = {{1, 0, 0x02}, {1, 1, 0x03}, {0, 1, 0x01}, {0, 0, 0x00}, {2, 0, 0x00}, {0xFF, 0xFE, 0x02}};
    std::vector<TEncodeCase> encodeCases;
    for (const TCase& c : cases) {
        encodeCases.push_back({std::to_string(c.First) + "," + std::to_string(c.Second), 62,
                               [c](TCommand& command) {
                                   auto& display = DataAs<TTX_DISPLAY_DataIn>(command);
                                   display.Field1 = c.First;
                                   display.Field2 = c.Second;
                               },
                               Join({{c.Wire}, Blanks(16)})});
    }
    ExpectPayloads(encodeCases);
}

TEST(EncodePayload, WritesNothingForWhatTheDriverDoesNotSendOrHasNoRoomFor)
{
    TCommandEncoder encoder(1, ByteSetOf({1}));
    TBytes payload(48, 0xAA);

    const TCommand received = encoder.InitCommand(3, 1);  // a purchase the register registers
    FieldsOf<TPurchaseFields>(received).Field1 = 1;
    TCommandEncoder::EncodeData(received, payload);
    EXPECT_EQ(payload, TBytes(48, 0xAA));

    const TCommand goods = encoder.InitCommand(49, 1);
    TCommandEncoder::EncodeData(goods, std::span<std::uint8_t>(payload).first(39));
    EXPECT_EQ(payload, TBytes(48, 0xAA));

    TCommand write = encoder.InitCommand(65, 1);
    DataAs<TTX_WRITE_RPZU_DataIn>(write).Data = {1, 2, 3};
    TCommandEncoder::EncodeData(write, std::span<std::uint8_t>(payload).first(7));
    EXPECT_EQ(payload, TBytes(48, 0xAA));
}

}  // namespace
}  // namespace zarvik12m
