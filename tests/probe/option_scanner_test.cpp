// The option scanner the emulator and the probe share.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "tools/common/option_scanner.h"

namespace zarvik12m {
namespace {

using namespace zarvik12m::literals;

// What the scanner refused: the text and the argument.
struct TRefusal {
    std::string What;
    std::string Argument;
};

[[noreturn]] void Refuse(std::string_view what, std::string_view argument)
{
    throw TRefusal{std::string(what), std::string(argument)};
}

TRefusal RefusalOf(std::vector<std::string_view> arguments)
{
    TOptionScanner scanner(std::move(arguments), Refuse);
    try {
        while (scanner.Next()) {
            if (scanner.Flag() == "--flag") {
                scanner.NoValue();
            } else if (scanner.Flag() == "--number") {
                scanner.Number(1, 99);
            } else {
                scanner.Value();
            }
        }
    } catch (const TRefusal& refusal) {
        return refusal;
    }
    return {};
}

TEST(OptionScanner, ReadsSeparateAndInlineValuesFlagsAndOperands)
{
    TOptionScanner scanner({"--net", "12", "--wait=40", "-v", "/dev/ttyS0", "-x=1"}, Refuse);
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.Flag(), "--net");
    EXPECT_EQ(scanner.Number(1, 99), 12U);
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.Flag(), "--wait");
    EXPECT_EQ(scanner.Argument(), "--wait=40");
    EXPECT_EQ(scanner.InlineValue(), "40");
    EXPECT_EQ(scanner.Value(), "40");
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.Flag(), "-v");
    EXPECT_FALSE(scanner.InlineValue());
    scanner.NoValue();
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.Flag(), "/dev/ttyS0");
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.Flag(), "-x=1");  // only "--" arguments carry an inline value
    EXPECT_FALSE(scanner.Next());
    EXPECT_FALSE(scanner.Next());
}

TEST(OptionScanner, RefusesWhatCannotBeUsedNamingTheArgument)
{
    const TRefusal missing = RefusalOf({"--device"});
    EXPECT_EQ(missing.What, "Нет значения у параметра"_cp1251);
    EXPECT_EQ(missing.Argument, "--device");

    const TRefusal unwanted = RefusalOf({"--flag=yes"});
    EXPECT_EQ(unwanted.What, "Параметр не принимает значения"_cp1251);
    EXPECT_EQ(unwanted.Argument, "--flag=yes");

    for (const std::string_view wrong : {"0", "100", "", "12x", "-1", "99999999999999999999999"}) {
        const TRefusal refusal = RefusalOf({"--number", wrong});
        EXPECT_EQ(refusal.What, "Неверное значение параметра"_cp1251) << wrong;
        EXPECT_EQ(refusal.Argument, "--number " + std::string(wrong));
    }
    EXPECT_TRUE(RefusalOf({"--number=99", "--flag"}).What.empty());
}

TEST(OptionScanner, ARefusalThatReturnsStillStopsTheLine)
{
    TOptionScanner scanner({"--device"}, [](std::string_view, std::string_view) {});
    ASSERT_TRUE(scanner.Next());
    EXPECT_THROW(scanner.Value(), std::logic_error);
}

TEST(OptionScanner, DecimalNumbersWithinTheirRangeOnly)
{
    EXPECT_EQ(DecimalNumber("4000000", 50, 4000000), 4000000U);
    EXPECT_FALSE(DecimalNumber("49", 50, 4000000));
    EXPECT_FALSE(DecimalNumber("+50", 50, 4000000));
    EXPECT_FALSE(DecimalNumber(" 50", 50, 4000000));
}

}  // namespace
}  // namespace zarvik12m
