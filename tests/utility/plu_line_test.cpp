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

TEST(ParsePluLine, TakesBlankNumbersAsZeroAndTheRegistersLimits)
{
    EXPECT_EQ(ParsePluLine("1;;   ;;  ;   ", ';'), Item(1, "", 0, "", 0, 0));
    EXPECT_EQ(ParsePluLine("$FA0;1234567890123;4294967295.4999;0123456789ABCDEF;255; 4294967.295", ';'),
              Item(4000, "1234567890123", 42949672954999, "0123456789ABCDEF", 255, 4294967.295));
    EXPECT_EQ(ParsePluLine("7;;;;;3;", ';'), std::nullopt);  // a sixth separator belongs to the quantity
}

TEST(ParsePluLine, RefusesWhatTheRegisterWouldNotGetAsWritten)
{
    const struct {
        std::string_view Line;
        TPluLineFault Fault;
    } cases[] = {
        {"", pfFieldCount},
        {"7;;3", pfFieldCount},  // a half-written line
        {"1;2;3;4;5", pfFieldCount},
        {"abc;;;;;", pfNumber},
        {"1 ;;;;;", pfNumber},  // trailing blanks make a code invalid
        {"1;;12,50;;;", pfNumber},
        {"1;;x;;;", pfNumber},
        {"1;;;;1.5;", pfNumber},
        {"1;;;;;1,000", pfNumber},
        {"1;;;;;--1", pfNumber},
        {"1;;1e999;;;", pfNumber},
        {"1;;;;;1e999", pfNumber},
        {";;;;;", pfCode},
        {"0;;;;;", pfCode},
        {"4001;;;;;", pfCode},
        {"65537;;;;;", pfCode},  // its low 16 bits would be code 1
        {"-1;;;;;", pfCode},
        {"1;12345678901234;;;;", pfBarcode},
        {"1;;-5;;;", pfPrice},
        {"1;;-0.01;;;", pfPrice},
        {"1;;4294967295.5;;;", pfPrice},  // rounds to a unit beyond the field
        {"1;;1e12;;;", pfPrice},
        {"1;;;0123456789ABCDEFG;;", pfName},
        {"1;;;;256;", pfGroup},
        {"1;;;;258;", pfGroup},  // its low byte would be group 2
        {"1;;;;-1;", pfGroup},
        {"1;;;;;-1", pfQuantity},
        {"1;;;;;5000000.5", pfQuantity},
        {"1;;;;;4294967.2955", pfQuantity},
    };
    for (const auto& c : cases) {
        TPluLineFault fault = pfNone;
        EXPECT_EQ(ParsePluLine(c.Line, ';', fault), std::nullopt) << c.Line;
        EXPECT_EQ(fault, c.Fault) << c.Line;
    }
}

}  // namespace
}  // namespace zarvik12m
