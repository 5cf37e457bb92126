#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/processing/command_encoder.h"
#include "tests/protocol/record_fields.h"
#include "tests/protocol/wire_bytes.h"

// Payloads of what the register sends, written out from the register's
// layouts and offered as whole frames. DOS Cyrillic bytes of the names
// used: Сыр = 91 EB E0, Молоко = 8C AE AB AE AA AE.

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

struct TDecodeCase {
    std::string What;
    std::uint8_t Number;
    TBytes Payload;
    std::function<void(const TCommand&)> Check;
};

void ExpectDecoded(const std::vector<TDecodeCase>& cases)
{
    for (const TDecodeCase& c : cases) {
        SCOPED_TRACE(c.What + " (command " + std::to_string(c.Number) + ")");
        TCommandEncoder encoder(1, ByteSetOf({1}));
        const TBytes frame = Frame(0x01, CommandCatalogue[c.Number].ProtocolCommand, c.Payload);
        TCommand command;
        std::uint16_t length = 0;
        ASSERT_TRUE(encoder.DecodeFrame(command, frame, length));
        EXPECT_EQ(length, frame.size());
        ASSERT_EQ(command.CommandNumber, c.Number);
        c.Check(command);
    }
}

const TBytes PurchasePayload = Join({Hex("01 02 00 00 09 C4 00 00 04 D2 04 E2 06 FF FF FF FF 08"), Ascii("  ABC"),
                                     Blanks(8), Hex("0A 91 EB E0"), Blanks(13)});

const TBytes ReceiptPayload = Hex("01 12 34 00 05 07 12 26 15 30 05 06 01 00 00 00 00 08 00 00 04 D2 0A FF FF FF FF");

const TBytes TapePayload = Join({Hex("00 07 00 00 09 C4 00 00 00 0C 04 05 04 E2 00 0C 00 26 09 0A 0B 09 41 0D 0E "
                                     "00 00 00 01"),
                                 Ascii(" ABCDEFGHIJ  ")});

void CheckPurchase(const TCommand& command)
{
    const auto& r = FieldsOf<TPurchaseFields>(command);
    EXPECT_EQ(r.Field1, 1);
    EXPECT_EQ(r.Field2, 2);
    EXPECT_EQ(r.Field3, 2.5);
    EXPECT_EQ(r.Field4, 12340000);
    EXPECT_EQ(r.Field5, 12.5F);
    EXPECT_EQ(r.Field6, 6);
    EXPECT_EQ(r.Field7, 42949672950000);  // unsigned on the wire
    EXPECT_EQ(r.Field8, 8);
    EXPECT_EQ(r.Field9.Str(), "  ABC        ");  // as received, blanks and all
    EXPECT_EQ(r.Field10, 10);
    EXPECT_EQ(r.Field11.Str(), "Сыр"_cp1251);
}

void CheckReceipt(const TCommand& command)
{
    const auto& r = FieldsOf<TReceiptFields>(command);
    EXPECT_EQ(r.Field1, 1);
    EXPECT_EQ(r.Field2, 0x1234);
    EXPECT_EQ(r.Field3, 5);
    EXPECT_EQ(r.Field4, DateTime(2026, 12, 7, 15, 30));
    EXPECT_EQ(r.Field5, 5);
    EXPECT_EQ(r.Field6, 6);
    EXPECT_EQ(r.Field7, 42949672960000);  // 2^32 in five bytes
    EXPECT_EQ(r.Field8, 8);
    EXPECT_EQ(r.Field9, 12340000);
    EXPECT_EQ(r.Field10, 10);
    EXPECT_EQ(r.Field11, 42949672950000);
}

void CheckTape(const TCommand& command)
{
    const auto& r = DataAs<TRX_READ_TAPE_DataIn>(command);
    EXPECT_EQ(r.Field1, 7);
    EXPECT_EQ(r.Field2, 2.5);
    EXPECT_EQ(r.Field3, 120000);
    EXPECT_EQ(r.Field4, 4);
    EXPECT_EQ(r.Field5, 5);
    EXPECT_EQ(r.Field6, 12.5F);
    EXPECT_EQ(r.Field7, 0.12F);
    EXPECT_EQ(r.Field8, 0.38F);
    EXPECT_EQ(r.Field9, 9);
    EXPECT_EQ(r.Field10, 10);
    EXPECT_EQ(r.Field11, 11);
    EXPECT_DOUBLE_EQ(r.Field12, DateTime(1899, 12, 30, 9, 41));
    EXPECT_EQ(r.Field13, 13);
    EXPECT_EQ(r.Field14, 14);
    EXPECT_EQ(r.Field15, 10000);
    EXPECT_EQ(r.Field16.Str(), " ABCDEFGHIJ  ");
}

std::function<void(const TCommand&)> CheckReport(std::uint16_t first, TDateTime second, std::int64_t third)
{
    return [=](const TCommand& command) {
        const auto& r = FieldsOf<TReportFields>(command);
        EXPECT_EQ(r.Field1, first);
        EXPECT_EQ(r.Field2, second);
        EXPECT_EQ(r.Field3, third);
    };
}

std::function<void(const TCommand&)> CheckReader(std::int64_t amount, const TCommand_Data& data)
{
    return [=](const TCommand& command) {
        const auto& r = FieldsOf<TAuthorisationByReaderFields>(command);
        EXPECT_EQ(r.Amount, amount);
        EXPECT_EQ(r.Data, data);
    };
}

TEST(DecodePayload, EveryLayoutTheRegisterSends)
{
    std::vector<TDecodeCase> cases = {
        {"goods look-up by code", 1, Join({Ascii(" 12 ab      x"), Hex("00 00 09 C4")}),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_GET_TOV_BY_CODE_DataIn>(c).Code.Str(), " 12 ab      x");
             EXPECT_EQ(DataAs<TRX_GET_TOV_BY_CODE_DataIn>(c).Field2, 2.5);
         }},
        {"goods look-up by barcode", 2, Join({Ascii("4600000000017"), Hex("00 00 00 01")}),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_GET_TOV_BY_SHK_DataIn>(c).Code.Str(), "4600000000017");
             EXPECT_EQ(DataAs<TRX_GET_TOV_BY_SHK_DataIn>(c).Field2, 0.001);
         }},
        {"purchase", 3, PurchasePayload, CheckPurchase},
        {"receipt request", 4, ReceiptPayload, CheckReceipt},
        {"receipt closed", 18, ReceiptPayload, CheckReceipt},
        {"X report, year 49", 5, Hex("00 07 31 12 49 23 59 00 00 00 00 01"),
         CheckReport(7, DateTime(2049, 12, 31, 23, 59), 10000)},
        {"Z report, year 50", 6, Hex("12 34 01 01 50 00 00 FF FF FF FF FF"),
         CheckReport(0x1234, DateTime(1950, 1, 1), 10995116277750000)},
        {"sales total, month 13", 21, Hex("00 00 01 13 05 00 00 00 00 00 00 00"), CheckReport(0, FirstDateTime, 0)},
        {"authorisation by code", 7, Join({Hex("00 00 04 D2"), Ascii(" 46000000001 ")}),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_GET_AVT_BY_CODE_DataIn>(c).Amount, 12340000);
             EXPECT_EQ(DataAs<TRX_GET_AVT_BY_CODE_DataIn>(c).Code.Str(), " 46000000001 ");
         }},
        {"authorisation by code, cashless", 8, Join({Hex("FF FF FF FF"), Ascii("0000000000000")}),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_GET_AVT_BN_BY_CODE_DataIn>(c).Amount, 42949672950000);
             EXPECT_EQ(DataAs<TRX_GET_AVT_BN_BY_CODE_DataIn>(c).Code.Str(), "0000000000000");
         }},
        {"authorisation by reader", 9, Hex("00 00 00 0A AA BB CC"), CheckReader(100000, {0xAA, 0xBB, 0xCC})},
        {"authorisation by reader, amount only", 10, Hex("00 00 00 0A"), CheckReader(100000, {})},
        {"authorisation by reader, too short for the amount", 9, Hex("0A 0B"), CheckReader(0, {})},
        {"authorisation by reader, empty", 10, {}, CheckReader(0, {})},
        {"goods found", 11,
         Join({Ascii(" 460000000001"), Hex("00 00 00 0C 8C AE AB AE AA AE"), Blanks(10), Hex("03 00 00 05 DC")}),
         [](const TCommand& c) {
             const auto& goods = DataAs<TRX_READ_TOV_DataIn>(c);
             EXPECT_EQ(goods.Barcode.Str(), " 460000000001");
             EXPECT_EQ(goods.Price, 120000);
             EXPECT_EQ(goods.Name.Str(), "Молоко"_cp1251);
             EXPECT_EQ(goods.Group, 3);
             EXPECT_EQ(goods.Quantity, 1.5);
         }},
        {"state and mode", 23, Hex("05 06"),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_STATE_DataIn>(c).Field1, 5);
             EXPECT_EQ(DataAs<TRX_STATE_DataIn>(c).Field2, 6);
         }},
        {"serial number", 24, Join({Ascii("  12345"), Blanks(6)}),
         [](const TCommand& c) { EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(c).SerialNumber.Str(), "  12345"); }},
        {"serial number of blanks", 24, Blanks(13),
         [](const TCommand& c) { EXPECT_EQ(DataAs<TRX_SERIAL_NUMBER_DataIn>(c).SerialNumber.Str(), ""); }},
        {"date and time", 25, Hex("07 12 26 15 30 09"),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_DATE_TIME_DataIn>(c).DateTime, DateTime(2026, 12, 7, 15, 30));
             EXPECT_EQ(DataAs<TRX_DATE_TIME_DataIn>(c).Field2, 9);
         }},
        {"date and time, 31 April", 25, Hex("31 04 26 10 00 00"),
         [](const TCommand& c) { EXPECT_EQ(DataAs<TRX_DATE_TIME_DataIn>(c).DateTime, FirstDateTime); }},
        {"control tape", 29, TapePayload, CheckTape},
        {"control tape, invalid time", 29,
         Join({TBytes(TapePayload.begin(), TapePayload.begin() + 21), Hex("24 00"),
               TBytes(TapePayload.begin() + 23, TapePayload.end())}),
         [](const TCommand& c) { EXPECT_EQ(DataAs<TRX_READ_TAPE_DataIn>(c).Field12, 0.0); }},
        {"parameter memory", 30, Hex("00 FF 10"),
         [](const TCommand& c) {
             EXPECT_EQ(DataAs<TRX_READ_RPZU_DataIn>(c).Data, (TCommand_Data{0, 0xFF, 0x10}));
         }},
        {"parameter memory, empty",
         30,
         {},
         [](const TCommand& c) { EXPECT_TRUE(DataAs<TRX_READ_RPZU_DataIn>(c).Data.empty()); }},
    };
    for (const std::uint8_t number : TBytes{12, 13, 14, 15, 16, 17, 19, 20, 22, 26, 27, 28, 31}) {
        cases.push_back({"result code", number, {number}, [number](const TCommand& c) {
                             EXPECT_EQ(FieldsOf<TResultFields>(c).Result, number);
                         }});
    }
    ExpectDecoded(cases);
}

TEST(DecodePayload, UnrecognisedBytesAreKeptAsTheyStand)
{
    TCommandEncoder encoder(1, ByteSetOf({1}));
    const TCommand unknown = encoder.InitCommand(UnknownCommand, 0);
    TCommandEncoder::DecodeData(unknown, Hex("00 01 FE FF"));
    EXPECT_EQ(DataAs<TRX_UNKNOWN_DataIn>(unknown).Data, (TCommand_Data{0x00, 0x01, 0xFE, 0xFF}));
    TCommandEncoder::DecodeData(unknown, TBytes{});
    EXPECT_TRUE(DataAs<TRX_UNKNOWN_DataIn>(unknown).Data.empty());
}

TEST(DecodePayload, LeavesTheRecordAloneForWhatTheRegisterDoesNotSendOrTooFewBytes)
{
    TCommandEncoder encoder(1, ByteSetOf({1}));
    const TZarvik12m_GoodsItem item{1, TZarvik12m_ShortString<13>::FromText("1"), 2, {}, 3, 4.0};

    const TCommand goods = encoder.InitCommand(49, 1);
    DataAs<TZarvik12m_GoodsItem>(goods) = item;
    TCommandEncoder::DecodeData(goods, TBytes(40, 0x31));
    EXPECT_EQ(DataAs<TZarvik12m_GoodsItem>(goods), item);

    const TCommand found = encoder.InitCommand(11, 1);
    DataAs<TRX_READ_TOV_DataIn>(found).Group = 9;
    TCommandEncoder::DecodeData(found, TBytes(37, 0x31));
    EXPECT_EQ(DataAs<TRX_READ_TOV_DataIn>(found).Group, 9);
}

}  // namespace
}  // namespace zarvik12m
