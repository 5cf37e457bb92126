#include "tools/common/option_scanner.h"

#include <charconv>
#include <stdexcept>
#include <string>
#include <utility>

#include "driver/common/cp1251.h"

namespace zarvik12m {

using namespace zarvik12m::literals;

std::optional<std::uint64_t> DecimalNumber(std::string_view text, std::uint64_t low, std::uint64_t high) noexcept
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

TOptionScanner::TOptionScanner(std::vector<std::string_view> arguments, TRefuse refuse)
    : FArguments(std::move(arguments)), FRefuse(std::move(refuse))
{}

bool TOptionScanner::Next()
{
    if (FStarted) {
        ++FIndex;
    }
    FStarted = true;
    FInlineValue.reset();
    if (FIndex >= FArguments.size()) {
        FFlag = {};
        return false;
    }
    FFlag = FArguments[FIndex];
    if (const std::size_t equals = FFlag.find('='); FFlag.starts_with("--") && equals != std::string_view::npos) {
        FInlineValue = FFlag.substr(equals + 1);
        FFlag = FFlag.substr(0, equals);
    }
    return true;
}

std::string_view TOptionScanner::Value()
{
    if (FInlineValue) {
        return *FInlineValue;
    }
    if (FIndex + 1 >= FArguments.size()) {
        Refuse("Нет значения у параметра"_cp1251, FFlag);
    }
    return FArguments[++FIndex];
}

void TOptionScanner::NoValue() const
{
    if (FInlineValue) {
        Refuse("Параметр не принимает значения"_cp1251, Argument());
    }
}

std::uint64_t TOptionScanner::Number(std::uint64_t low, std::uint64_t high)
{
    const std::string_view text = Value();
    const std::optional<std::uint64_t> value = DecimalNumber(text, low, high);
    if (!value) {
        RefuseValue(text);
    }
    return *value;
}

void TOptionScanner::Refuse(std::string_view what, std::string_view argument) const
{
    FRefuse(what, argument);
    // A refusal that returned would let a wrong line pass.
    throw std::logic_error("the option refusal returned");
}

void TOptionScanner::RefuseValue(std::string_view value) const
{
    Refuse("Неверное значение параметра"_cp1251, std::string(FFlag) + " " + std::string(value));
}

}  // namespace zarvik12m
