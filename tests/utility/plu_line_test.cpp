#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "utility/plu_line.h"

namespace zarvik12m {
namespace {

TZarvik12m_GoodsItem Item(std::uint16_t code, std::string_view barcode, std::int64_t price, std::string_view name,
                          std::uint8_t group, double quantity)
{
    TZarvik12m_GoodsItem item{};
    item.Code = code;
    item.Barcode.Assign(barcode);
    item.Price = price;
    item.Name.Assign(name);
    item.Group = group;
    item.Quantity = quantity;
    return item;
}

const std::string MilkLine =
    std::string("   1;          123;      12.50;") + std::string("Молоко"_cp1251) + "          ; 1;      1.000\r\n";

TEST(FormatPluLine, WritesTheFixedWidthFields)
{
    EXPECT_EQ(FormatPluLine(Item(1, "123", 125000, "Молоко"_cp1251, 1, 1), ';'), MilkLine);
    // Longer values take the room they need; halves of a cent round away
    // from zero; quantities keep three decimals.
    EXPECT_EQ(
        FormatPluLine(Item(65535, "4600000000001", 123456789012345, "0123456789ABCDEF", 255, 12345678.0625), '\t'),
        "65535\t4600000000001\t12345678901.23\t0123456789ABCDEF\t255\t12345678.062\r\n");
    EXPECT_EQ(FormatPluLine(Item(0, "", -50, "", 0, -0.0), ';'),
              "   0;             ;      -0.01;                ; 0;      0.000\r\n");
    EXPECT_EQ(FormatPluLine(Item(2, "", 49, "", 0, 0.0005), ';').substr(19, 11), "       0.00");
    // A tiny negative amount rounds to zero, not to a negative zero.
    EXPECT_EQ(FormatPluLine(Item(3, "", 0, "", 0, -0.0004), ';').substr(51, 11), "      0.000");
}

TEST(SplitPluLine, FindsFieldsOneToFiveAndLeavesTheRestToSix)
{
    const struct {
        std::string_view Line;
        std::array<std::string_view, 6> Fields;
    } cases[] = {
        {"1;2;3;4;5;6", {"1", "2", "3", "4", "5", "6"}},
        {"1;2;3;4;5;6;7", {"1", "2", "3", "4", "5", "6;7"}},  // further separators belong to field 6
        {"1;2;3", {"1", "2", "", "", "", "3"}},               // fewer: the missing ones are empty
        {"1.5", {"", "", "", "", "", "1.5"}},                 // none: the whole line is the quantity
        {";;;;;", {"", "", "", "", "", ""}},
        {"", {"", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitPluLine(c.Line, ';'), c.Fields) << c.Line;
    }
}

TEST(ParsePluLine, ReadsWhatFormatPluLineWrote)
{
    const TZarvik12m_GoodsItem milk = Item(1, "          123", 125000, "Молоко          "_cp1251, 1, 1);
    EXPECT_EQ(ParsePluLine(std::string_view(MilkLine).substr(0, MilkLine.size() - 2), ';'), milk);
}

TEST(ParsePluLine, TakesBlankNumbersAsZeroAndCutsTexts)
{
    EXPECT_EQ(ParsePluLine("", ';'), Item(0, "", 0, "", 0, 0));
    EXPECT_EQ(ParsePluLine("  ;;   ;;  ;   ", ';'), Item(0, "", 0, "", 0, 0));
    EXPECT_EQ(ParsePluLine("$10;12345678901234567;0.00005;Name that is far too long;300; 2.5e0", ';'),
              Item(16, "1234567890123", 0, "Name that is far", 44, 2.5));
    EXPECT_EQ(ParsePluLine("70000;;;;-1;", ';'), Item(4464, "", 0, "", 255, 0));
    EXPECT_EQ(ParsePluLine("7;;3", ';'), Item(7, "", 0, "", 0, 3));
}

TEST(ParsePluLine, RefusesAFieldThatIsNeitherBlankNorANumber)
{
    for (const std::string_view line : {"abc;;;;;", "1 ;;;;;",  // trailing blanks make a code invalid
                                        "1;;12,50;;;", "1;;x;;;", "1;;;;1.5;", "1;;;;;1,000", "1;;;;;1;2", "1;;;;;--1",
                                        "1;;1e999;;;", "1;;;;;1e999"}) {
        EXPECT_EQ(ParsePluLine(line, ';'), std::nullopt) << line;
    }
}

}  // namespace
}  // namespace zarvik12m
