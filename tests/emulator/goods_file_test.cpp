#include <set>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tests/support/temp_directory.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/plu_file.h"

namespace zarvik12m::emulator::testing {
namespace {

using namespace zarvik12m::literals;

const std::string ExampleFile = ZARVIK12M_SOURCE_DIR "/examples/goods.txt";

TEST(GoodsFile, WritesLinesAsTheUtilityDoes)
{
    TGoodsTable goods;
    goods[1] = Normalised({"123", 12, std::string("Молоко"_cp1251), 1, 1000});
    goods[25] = Normalised({"4607010079192", 4294967295U, std::string("Хлеб Бородинский"_cp1251), 255, 48125});
    const std::string expected = std::string(
        "   1;          123;      12.00;Молоко          ; 1;      1.000\r\n"
        "  25;4607010079192;4294967295.00;Хлеб Бородинский;255;     48.125\r\n"_cp1251);
    EXPECT_EQ(FormatPluText(goods, ';'), expected);
    EXPECT_EQ(ParsePluText(expected, ';').Goods, goods);
}

TEST(GoodsFile, ReadsLinesAsTheUtilityDoes)
{
    struct TCase {
        const char* Line;
        std::uint16_t Number;
        TGoodsRecord Record;
    };
    const TCase cases[] = {
        {"  7;  123  ;  12.5 ;Tea  ;  3;  1.5 ", 7, {"          123", 12, "Tea", 3, 1500}},  // halves to even
        {"7 ;1;1;n; 3 ;1", 0, {}},  // trailing blanks spoil an integer
        {"$1F;1;13.5;X;x10;2.5", 31, {"            1", 14, "X", 16, 2500}},
        {"0x20;12345678901234;1e2;12345678901234567;-1;0", 32, {"1234567890123", 100, "1234567890123456", 255, 0}},
        {"8;;12,50;;;", 8, {"             ", 0, "", 0, 0}},              // decimal comma: no number
        {"9;b;1;n;2;3;4", 9, {"            b", 1, "n", 2, 0}},           // the sixth field keeps its separators
        {"10\r;b\r;1;n;2;3\r", 10, {"            b", 1, "n", 2, 3000}},  // a lone CR is dropped
        {"11;b;1e300;n;2;-1e300", 11, {"            b", 0, "n", 2, 0}},  // out of any range
    };
    for (const TCase& testCase : cases) {
        SCOPED_TRACE(testCase.Line);
        const TPluContents contents = ParsePluText(testCase.Line, ';');
        if (testCase.Number == 0) {
            EXPECT_TRUE(contents.Goods.empty());
            continue;
        }
        ASSERT_EQ(contents.Goods.size(), 1U);
        EXPECT_EQ(contents.Goods.begin()->first, testCase.Number);
        EXPECT_EQ(contents.Goods.begin()->second, testCase.Record);
    }
}

TEST(GoodsFile, LeavesOutLinesARegisterWouldRefuse)
{
    const TPluContents contents =
        ParsePluText("1;a;1;n;1;1\r\n\r\n0;a;1;n;1;1\r\n4001;a\r\n12 ;a\r\nx;a\r\n2;b;2;m;2;2", ';');
    EXPECT_EQ(contents.Goods.size(), 2U);
    EXPECT_EQ(contents.RefusedLines, (std::vector<std::size_t>{3, 4, 5, 6}));
}

TEST(GoodsFile, ParsesIntegersTheUtilityWay)
{
    std::int32_t value = 0;
    for (const auto& [text, expected] :
         std::vector<std::pair<const char*, std::int32_t>>{{"12", 12},
                                                           {"  -7", -7},
                                                           {"+3", 3},
                                                           {"$ff", 255},
                                                           {"0X10", 16},
                                                           {"x7fffffff", 2147483647},
                                                           {"$FFFFFFFF", -1},
                                                           {"-2147483648", -2147483647 - 1}}) {
        EXPECT_TRUE(ParseInteger(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text : {"", " ", "12 ", "1.0", "$", "0x", "2147483648", "$100000000", "1e3"}) {
        EXPECT_FALSE(ParseInteger(text, value)) << text;
    }
}

TEST(GoodsFile, ExampleFileIsWhatTheUtilityWouldWrite)
{
    const std::string bytes = zarvik12m::testing::ReadFileBytes(ExampleFile);
    ASSERT_FALSE(bytes.empty());
    const TPluContents contents = ParsePluText(bytes, ';');
    EXPECT_GE(contents.Goods.size(), 30U);
    EXPECT_TRUE(contents.RefusedLines.empty());
    // Numbers 1..N without a gap: reading a register stops at the first
    // missing number.
    std::uint16_t expected = 1;
    for (const auto& [number, record] : contents.Goods) {
        EXPECT_EQ(number, expected++);
    }
    EXPECT_EQ(contents.Goods.at(1).Name, std::string("Хлеб Бородинский"_cp1251));
    EXPECT_EQ(FormatPluText(contents.Goods, ';'), bytes);
}

TEST(GoodsFile, SavesAndLoadsWithAnySeparator)
{
    const zarvik12m::testing::TTempDirectory directory;
    const TGoodsTable goods = GenerateGoods(50);
    SavePluFile(directory.Path() / "goods.txt", goods, '\t');
    EXPECT_EQ(LoadPluFile(directory.Path() / "goods.txt", '\t').Goods, goods);
    EXPECT_THROW(LoadPluFile(directory.Path() / "missing.txt", ';'), std::runtime_error);
    EXPECT_THROW(SavePluFile(directory.Path() / "no" / "such.txt", goods, ';'), std::runtime_error);
}

TEST(GoodsGenerator, MakesAFullVariedTable)
{
    const TGoodsTable goods = GenerateGoods(4000);
    ASSERT_EQ(goods.size(), 4000U);
    EXPECT_EQ(goods.begin()->first, 1);
    EXPECT_EQ(goods.rbegin()->first, 4000);
    std::set<std::string> names;
    std::set<std::uint32_t> prices;
    for (const auto& [number, record] : goods) {
        EXPECT_LE(record.Name.size(), 16U);
        ASSERT_EQ(record.Barcode.size(), 13U);
        unsigned sum = 0;
        for (std::size_t i = 0; i < 12; ++i) {
            sum += static_cast<unsigned>(record.Barcode[i] - '0') * (i % 2 == 0 ? 1U : 3U);
        }
        EXPECT_EQ(record.Barcode[12] - '0', static_cast<int>((10 - sum % 10) % 10)) << record.Barcode;
        names.insert(record.Name);
        prices.insert(record.Price);
    }
    EXPECT_GT(names.size(), 500U);
    EXPECT_GT(prices.size(), 500U);
    EXPECT_EQ(GenerateGoods(10), GenerateGoods(10));
    EXPECT_EQ(GenerateGoods(5000).size(), 4000U);
}

}  // namespace
}  // namespace zarvik12m::emulator::testing
