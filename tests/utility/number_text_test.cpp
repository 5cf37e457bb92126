#include <cstdint>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "utility/number_text.h"

namespace zarvik12m {
namespace {

TEST(StrToInt, AcceptsTheIntegerSyntax)
{
    const struct {
        std::string_view Text;
        std::int32_t Value;
    } cases[] = {
        {"0", 0},
        {"1", 1},
        {"  42", 42},
        {"+7", 7},
        {"-7", -7},
        {"  -0015", -15},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1},
        {"0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToInt(c.Text), std::optional<std::int32_t>(c.Value)) << c.Text;
    }
}

TEST(StrToInt, RefusesEverythingElse)
{
    for (const std::string_view text :
         {"",    " ",   "+",   "-",   "$",  "x",    "0x",         "1 ",          "1a",         "p5",  "12.0", "1e3",
          "--1", "+-1", "- 1", "\t1", "$G", "0x-1", "2147483648", "-2147483649", "$100000000", "1,5", "１"}) {
        EXPECT_EQ(StrToInt(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(StrToFloat, ReadsDecimalNumbersWithAPoint)
{
    const struct {
        std::string_view Text;
        double Value;
    } cases[] = {
        {"1", 1.0},      {"  1.000", 1.0}, {"12.5 ", 12.5}, {"-0.25", -0.25},  {"+3", 3.0},
        {".5", 0.5},     {"5.", 5.0},      {"1e3", 1000.0}, {"1.5E-2", 0.015}, {"  2.5e+1  ", 25.0},
        {"1e-500", 0.0}, {"0", 0.0},       {"007.50", 7.5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToFloat(c.Text), std::optional<double>(c.Value)) << c.Text;
    }
    for (const std::string_view text : {"", "  ", ".", "-", "12,50", "1.2.3", "1e", "1e+", "e5", "abc", "1 2", "0x10",
                                        "$10", "1e400", "inf", "nan"}) {
        EXPECT_EQ(StrToFloat(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(StrToMoney, ScalesByTenThousandRoundingHalvesToEven)
{
    const struct {
        std::string_view Text;
        std::int64_t Value;
    } cases[] = {
        {"12.5", 125000},
        {" 12.50 ", 125000},
        {"0.0001", 1},
        {"0.00005", 0},   // exactly half: to the even 0
        {"0.00015", 2},   // exactly half: to the even 2
        {"0.000051", 1},  // above half
        {"0.00025", 2},
        {"-0.00015", -2},
        {"1e-9", 0},
        {"1.5e3", 15000000},
        {"922337203685477.5807", INT64_MAX},
        {"-922337203685477.5808", INT64_MIN},
        {"0", 0},
        {"-0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToMoney(c.Text), std::optional<std::int64_t>(c.Value)) << c.Text;
    }
    for (const std::string_view text : {"922337203685477.5808", "-922337203685477.5809", "1e20", "12,50", ""}) {
        EXPECT_EQ(StrToMoney(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace zarvik12m
