// LoadGoods, WriteGoods and ClearGoods of the built library against the
// emulated register.

#include <initializer_list>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tests/interface/exports_support.h"
#include "tests/support/expect_error.h"
#include "tools/emulator/goods_generator.h"

namespace zarvik12m::testing {
namespace {

using namespace zarvik12m::literals;
using emulator::GenerateGoods;
using emulator::TGoodsTable;

std::vector<std::uint16_t> NumbersUpTo(std::size_t last)
{
    std::vector<std::uint16_t> numbers(last);
    std::iota(numbers.begin(), numbers.end(), std::uint16_t{1});
    return numbers;
}

// Entries that no register would hold, standing for whatever a caller's
// array held before.
TZarvik12m_Goods Junk(std::size_t length)
{
    TZarvik12m_GoodsItem item{};
    item.Code = 7777;
    item.Barcode.Assign("JUNK");
    item.Price = -1;
    item.Name.Assign("junk");
    item.Group = 99;
    item.Quantity = -1.5;
    return TZarvik12m_Goods(length, item);
}

// The entries as a writer hands them to WriteGoods: codes 1..N.
TZarvik12m_Goods WrittenForm(const TGoodsTable& table)
{
    return Delivered(table);
}

using LoadGoodsTest = ExportsTest;

TEST_F(LoadGoodsTest, ReadsUpToTheFirstNumberTheRegisterLacks)
{
    struct TCase {
        const char* Name;
        std::vector<std::uint16_t> Held;
        std::uint16_t Count;  // goods 1..Count come back
    };
    const TCase cases[] = {
        {"goods 1 to 25", NumbersUpTo(25), 25},
        {"goods 1, 2 and 5", {1, 2, 5}, 2},
        {"goods 1 missing", {2, 3, 4}, 0},
        {"an empty table", {}, 0},
    };
    for (const TCase& tableCase : cases) {
        SCOPED_TRACE(tableCase.Name);
        const TGoodsTable table = GoodsNumbered(tableCase.Held);
        Register().SetGoodsTable(table);
        Register().ClearHistory();
        TZarvik12m_Goods goods;
        const std::uint16_t count = Load(goods);
        EXPECT_EQ(count, tableCase.Count);
        EXPECT_EQ(goods, Delivered(GoodsNumbered(NumbersUpTo(tableCase.Count))));
        // One command for each goods number held and one for the first that is not.
        EXPECT_EQ(GoodsNumbersAsked(), NumbersUpTo(tableCase.Count + 1U));
        EXPECT_EQ(Position(), tableCase.Count + 1);
        EXPECT_EQ(Maximum(), 4000);
    }
}

TEST_F(LoadGoodsTest, AFullTableEndsAfterNumber4000)
{
    const TGoodsTable table = GenerateGoods(4000);
    Register().SetGoodsTable(table);
    TZarvik12m_Goods goods;
    EXPECT_EQ(Load(goods), 4000);
    EXPECT_EQ(goods, Delivered(table));
    EXPECT_EQ(GoodsNumbersAsked(), NumbersUpTo(4000));
    EXPECT_EQ(Position(), 4000);
    EXPECT_EQ(MessagesReceived().size(), 4000U);  // nothing asked after 4000
}

TEST_F(LoadGoodsTest, OverwritesTheCallersEntriesFromTheStart)
{
    const TGoodsTable table = GoodsNumbered({1, 2, 3});
    Register().SetGoodsTable(table);
    for (const std::size_t length : {std::size_t{2}, std::size_t{10}, std::size_t{5000}}) {
        SCOPED_TRACE(length);
        TZarvik12m_Goods goods = Junk(length);
        EXPECT_EQ(Load(goods), 3);
        EXPECT_EQ(goods, Delivered(table));
    }
}

TEST_F(LoadGoodsTest, RaisesARegisterStatusOtherThanNoSuchGoods)
{
    Register().SetGoodsTable(GoodsNumbered({1, 2}));
    for (const std::uint8_t status : std::initializer_list<std::uint8_t>{1, 6, 14, 17, 18, 255}) {
        SCOPED_TRACE(int{status});
        Register().SetForcedStatus(ReadGoodsMessage, status);
        TZarvik12m_Goods goods = Junk(3);
        std::uint16_t count = 5;
        ExpectError([&] { Driver().LoadGoods(Port, TestBaudRate, TestNetNumber, goods, count); }, status, {});
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(goods.empty());
        EXPECT_EQ(Position(), 1);
    }
    // A status without a text of its own is logged with an empty message.
    EXPECT_EQ(LastLogEntry(), "[ErrorCode255] ");
}

// An error answer that claims success has brought no goods: the read failed.
TEST_F(LoadGoodsTest, AnErrorAnswerWithStatusZeroIsAFailedCommand)
{
    Register().SetGoodsTable(GoodsNumbered({1, 2}));
    Register().SetForcedStatus(ReadGoodsMessage, 0);
    TZarvik12m_Goods goods;
    std::uint16_t count = 5;
    ExpectError([&] { Driver().LoadGoods(Port, TestBaudRate, TestNetNumber, goods, count); }, ecCommandFailed,
                {std::int64_t{Port}, std::int64_t{TestNetNumber}});
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(goods.empty());
}

TEST_F(LoadGoodsTest, KeepsWhatItReadBeforeAnError)
{
    const TGoodsTable table = GenerateGoods(10);
    Register().SetGoodsTable(table);
    Hold().Arm(3);
    std::thread failLater([&] {
        // Goods 3 is answered as it stands; the register fails from goods 4 on.
        if (Hold().WaitUntilHeld()) {
            Register().SetForcedStatus(ReadGoodsMessage, 3);
        }
        Hold().Release();
    });
    TZarvik12m_Goods goods;
    std::uint16_t count = 0;
    ExpectError([&] { Driver().LoadGoods(Port, TestBaudRate, TestNetNumber, goods, count); }, 3, {});
    failLater.join();
    EXPECT_EQ(count, 3);
    EXPECT_EQ(goods, Delivered(GoodsNumbered({1, 2, 3})));
    EXPECT_EQ(Position(), 4);
}

TEST_F(LoadGoodsTest, APortThatCannotBeOpenedLeavesAnEmptyArray)
{
    const std::string missing = (FScratch.Path() / "no-such-device").string();
    const TPortVariable variable(5, missing);
    TZarvik12m_Goods goods = Junk(10);
    std::uint16_t count = 5;
    ExpectError([&] { Driver().LoadGoods(5, TestBaudRate, TestNetNumber, goods, count); }, ecPortOpen,
                {std::int64_t{5}, missing});
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(goods.empty());
    EXPECT_EQ(Driver().GetProgressPosition(5), 0);
    EXPECT_EQ(Driver().GetProgressMax(5), 4000);
}

// Port numbers without a progress slot still name the device; only their
// progress is not kept.
TEST(LoadGoodsOnAnyPort, PortsOutsideTheProgressRangeAreUsedAsGiven)
{
    const TScratchDirectory scratch;
    for (const int port : {0, 33, 255}) {
        SCOPED_TRACE(port);
        const auto number = static_cast<std::uint8_t>(port);
        TRegisterOnPort target(number);
        target.Emulator.SetGoodsTable(GoodsNumbered({1, 2}));
        TZarvik12m_Goods goods;
        std::uint16_t count = 0;
        Driver().LoadGoods(number, TestBaudRate, TestNetNumber, goods, count);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(Driver().GetProgressPosition(number), 0);
        EXPECT_EQ(Driver().GetProgressMax(number), 0);
    }
}

using WriteGoodsTest = ExportsTest;

TEST_F(WriteGoodsTest, WritesTheFirstCountEntriesInArrayOrder)
{
    const TGoodsTable table = GenerateGoods(5);
    Write(WrittenForm(table), 3);
    EXPECT_EQ(Register().GoodsTable(), GoodsNumbered({1, 2, 3}));
    EXPECT_EQ(Position(), 3);
    EXPECT_EQ(Maximum(), 4000);
    EXPECT_EQ(MessagesReceived(), std::vector<std::uint8_t>(3, WriteGoodsMessage));
}

TEST_F(WriteGoodsTest, CountZeroSendsNothing)
{
    EXPECT_NO_THROW(Write({}, 0));
    EXPECT_NO_THROW(Write(Junk(3), 0));
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(Maximum(), 4000);
    EXPECT_TRUE(MessagesReceived().empty());
}

TEST_F(WriteGoodsTest, ACountBeyondTheArrayIsRefusedBeforeAnythingIsSent)
{
    const TZarvik12m_Goods goods = WrittenForm(GenerateGoods(3));
    try {
        Write(goods, 4);
        FAIL() << "no error";
    } catch (const std::out_of_range& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(" 4 "), std::string::npos) << message;
        EXPECT_TRUE(message.ends_with(" 3")) << message;
    }
    EXPECT_TRUE(MessagesReceived().empty());
    EXPECT_EQ(Register().GoodsCount(), 0U);
}

TEST_F(WriteGoodsTest, RaisesAnyStatusOtherThanZero)
{
    const TZarvik12m_Goods goods = WrittenForm(GenerateGoods(3));
    for (const std::uint8_t status : std::initializer_list<std::uint8_t>{7, 8, 13}) {
        SCOPED_TRACE(int{status});
        Register().SetForcedStatus(WriteGoodsMessage, status);
        ExpectError([&] { Write(goods, 3); }, status, {});
        EXPECT_EQ(Position(), 1);
    }
    EXPECT_EQ(Register().GoodsCount(), 0U);
}

TEST_F(WriteGoodsTest, TheFirstFailureEndsTheWrite)
{
    const TZarvik12m_Goods goods = WrittenForm(GenerateGoods(5));
    Hold().Arm(2);
    std::thread failLater([&] {
        if (Hold().WaitUntilHeld()) {
            Register().SetForcedStatus(WriteGoodsMessage, 12);
        }
        Hold().Release();
    });
    ExpectError([&] { Write(goods, 5); }, 12, {});
    failLater.join();
    // Entries before the failing one stay written.
    EXPECT_EQ(Register().GoodsTable(), GoodsNumbered({1, 2}));
    EXPECT_EQ(Position(), 3);
    EXPECT_EQ(MessagesReceived(), std::vector<std::uint8_t>(3, WriteGoodsMessage));
}

// What a written entry turns into on the line and back: barcodes are
// right-aligned in 13 characters, prices are whole numbers (halves to
// even), names are 16 characters at most without trailing blanks, and
// quantities have three decimals.
TEST_F(WriteGoodsTest, ValuesComeBackAsTheLineCarriesThem)
{
    struct TRoundTrip {
        const char* Barcode;
        std::int64_t Price;  // x 10000
        std::string_view Name;
        std::uint8_t Group;
        double Quantity;
        const char* BarcodeBack;
        std::int64_t PriceBack;
        std::string_view NameBack;
        double QuantityBack;
    };
    const TRoundTrip trips[] = {
        {"4607010079192", 524000, "Хлеб Бородинский"_cp1251, 1, 24.0, "4607010079192", 520000,
         "Хлеб Бородинский"_cp1251, 24.0},
        {"123", 125000, "Молоко 3,2% 1 л"_cp1251, 2, 2.5, "          123", 120000, "Молоко 3,2% 1 л"_cp1251, 2.5},
        {"12 ", 135000, "Сыр Ёлка   "_cp1251, 255, 0.001, "           12", 140000, "Сыр Ёлка"_cp1251, 0.001},
        {"", 9999, "Печенье овсяное с изюмом"_cp1251, 0, 123.4564, "             ", 10000, "Печенье овсяное"_cp1251,
         123.456},
        {"9", 0, "", 7, 1.0004, "            9", 0, "", 1.0},
    };
    TZarvik12m_Goods written;
    TZarvik12m_Goods expected;
    for (const TRoundTrip& trip : trips) {
        TZarvik12m_GoodsItem item{};
        item.Code = static_cast<std::uint16_t>(written.size() + 1);
        item.Barcode.Assign(trip.Barcode);
        item.Price = trip.Price;
        item.Name.Assign(trip.Name);
        item.Group = trip.Group;
        item.Quantity = trip.Quantity;
        written.push_back(item);
        item.Barcode.Assign(trip.BarcodeBack);
        item.Price = trip.PriceBack;
        item.Name.Assign(trip.NameBack);
        item.Quantity = trip.QuantityBack;
        expected.push_back(item);
    }
    Write(written, static_cast<std::uint16_t>(written.size()));
    TZarvik12m_Goods goods;
    EXPECT_EQ(Load(goods), written.size());
    ASSERT_EQ(goods.size(), expected.size());
    for (std::size_t i = 0; i < goods.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(goods[i].Code, expected[i].Code);
        EXPECT_EQ(goods[i].Barcode.Str(), expected[i].Barcode.Str());
        EXPECT_EQ(goods[i].Price, expected[i].Price);
        EXPECT_EQ(goods[i].Name.Str(), expected[i].Name.Str());
        EXPECT_EQ(goods[i].Group, expected[i].Group);
        EXPECT_EQ(goods[i].Quantity, expected[i].Quantity);
    }
}

using ClearGoodsTest = ExportsTest;

TEST_F(ClearGoodsTest, EmptiesTheTableInOneStep)
{
    Register().SetGoodsTable(GenerateGoods(20));
    Driver().ClearGoods(Port, TestBaudRate, TestNetNumber);
    EXPECT_EQ(Register().GoodsCount(), 0U);
    EXPECT_EQ(Position(), 1);
    EXPECT_EQ(Maximum(), 1);
    EXPECT_EQ(MessagesReceived(), std::vector<std::uint8_t>{ClearGoodsMessage});
}

TEST_F(ClearGoodsTest, RaisesAnyStatusOtherThanZero)
{
    Register().SetGoodsTable(GenerateGoods(20));
    for (const std::uint8_t status : std::initializer_list<std::uint8_t>{7, 11, 14}) {
        SCOPED_TRACE(int{status});
        Register().SetForcedStatus(ClearGoodsMessage, status);
        ExpectError([&] { Driver().ClearGoods(Port, TestBaudRate, TestNetNumber); }, status, {});
    }
    EXPECT_EQ(Register().GoodsCount(), 20U);
    EXPECT_EQ(LastLogEntry(), "[ErrorCode14] " + std::string("Ошибка ККМ: Нет бумаги"_cp1251));
}

}  // namespace
}  // namespace zarvik12m::testing
