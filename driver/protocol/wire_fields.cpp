#include "driver/protocol/wire_fields.h"

#include <cmath>

#include "driver/common/rounding.h"

namespace zarvik12m {

namespace {

constexpr std::int64_t CurrencyScale = 10000;

// The rounded value as a 64-bit integer, whose low bits go on the wire; a
// value without meaningful low bits (not finite, beyond 64 bits) gives 0.
std::int64_t RoundedInteger(double value)
{
    constexpr double Limit = 9223372036854775808.0;  // 2^63
    const double rounded = RoundHalfEven(value);
    if (!std::isfinite(rounded) || rounded >= Limit || rounded < -Limit) {
        return 0;
    }
    return static_cast<std::int64_t>(rounded);
}

}  // namespace

void WriteCurrency(std::span<std::uint8_t, 4> place, std::int64_t currency)
{
    std::int64_t whole = currency / CurrencyScale;
    std::int64_t rest = currency % CurrencyScale;
    if (rest < 0) {  // round towards minus infinity first
        rest += CurrencyScale;
        --whole;
    }
    if (rest > CurrencyScale / 2 || (rest == CurrencyScale / 2 && whole % 2 != 0)) {
        ++whole;
    }
    WriteLongBE(place, static_cast<std::uint32_t>(whole));
}

std::int64_t ReadCurrency(std::span<const std::uint8_t, 4> place)
{
    return std::int64_t{ReadLongBE(place)} * CurrencyScale;
}

std::int64_t ReadCurrency40(std::span<const std::uint8_t, 5> place)
{
    return Read40BE(place) * CurrencyScale;
}

void WriteThousandths(std::span<std::uint8_t, 4> place, double value)
{
    WriteLongBE(place, static_cast<std::uint32_t>(RoundedInteger(value * 1000.0)));
}

double ReadThousandths(std::span<const std::uint8_t, 4> place)
{
    return static_cast<double>(ReadLongBE(place)) / 1000.0;
}

void WriteHundredths(std::span<std::uint8_t, 2> place, float value)
{
    WriteWordBE(place, static_cast<std::uint16_t>(RoundedInteger(static_cast<double>(value) * 100.0)));
}

float ReadHundredths(std::span<const std::uint8_t, 2> place)
{
    return static_cast<float>(static_cast<double>(ReadWordBE(place)) / 100.0);
}

}  // namespace zarvik12m
