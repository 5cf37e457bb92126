#include "utility/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace zarvik12m {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c)
{
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view WithoutLeadingBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view WithoutTrailingBlanks(std::string_view text)
{
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// The parts of a decimal number: its significant digits (no leading zeros)
// and the power of ten that scales them, value = digits x 10^exponent.
struct TDecimal {
    bool Negative = false;
    std::string Digits;
    long long Exponent = 0;
};

// Exponents beyond this make every nonzero value overflow or vanish in
// both the double and the money reading; clamping keeps the sum in range.
constexpr long long ExponentLimit = 100000;

std::optional<TDecimal> ParseDecimal(std::string_view text)
{
    text = WithoutTrailingBlanks(WithoutLeadingBlanks(text));
    TDecimal result;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.Negative = text[i] == '-';
        ++i;
    }
    bool anyDigit = false;
    bool seenPoint = false;
    long long fractionDigits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            anyDigit = true;
            if (!(result.Digits.empty() && c == '0')) {
                result.Digits.push_back(c);
            }
            if (seenPoint) {
                ++fractionDigits;
            }
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i == text.size() || !IsDigit(text[i])) {
            return std::nullopt;
        }
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), ExponentLimit);
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    // Trailing zeros of the digits move into the exponent, so that "1.500"
    // and "15e-1" look alike.
    long long trailingZeros = 0;
    while (!result.Digits.empty() && result.Digits.back() == '0') {
        result.Digits.pop_back();
        ++trailingZeros;
    }
    result.Exponent = result.Digits.empty() ? 0 : exponent - fractionDigits + trailingZeros;
    return result;
}

// Whole decimal digits as an unsigned value no larger than the limit.
std::optional<std::uint64_t> DigitsToUnsigned(std::string_view digits, std::uint64_t limit)
{
    std::uint64_t value = 0;
    for (const char c : digits) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (limit - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> StrToInt(std::string_view text)
{
    text = WithoutLeadingBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    std::uint32_t magnitude = 0;
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X') || rest.starts_with("0x") ||
        rest.starts_with("0X")) {
        const std::string_view digits = rest.substr(rest.front() == '0' ? 2 : 1);
        if (digits.empty()) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (const char c : digits) {
            const int digit = HexDigitValue(c);
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
        }
        magnitude = static_cast<std::uint32_t>(value);
    } else {
        if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        const std::uint64_t limit = negative ? 2147483648U : 2147483647U;
        const std::optional<std::uint64_t> value = DigitsToUnsigned(rest, limit);
        if (!value) {
            return std::nullopt;
        }
        magnitude = static_cast<std::uint32_t>(*value);
    }
    // Modular, so that -2147483648 and the hexadecimal patterns come out
    // as their 32-bit values.
    return static_cast<std::int32_t>(negative ? 0U - magnitude : magnitude);
}

std::optional<double> StrToFloat(std::string_view text)
{
    const std::optional<TDecimal> decimal = ParseDecimal(text);
    if (!decimal) {
        return std::nullopt;
    }
    if (decimal->Digits.empty()) {
        return decimal->Negative ? -0.0 : 0.0;
    }
    // Far below the smallest double: zero, as the reading of any tiny
    // value ends anyway.
    const long long magnitude = static_cast<long long>(decimal->Digits.size()) + decimal->Exponent;
    if (magnitude < -400) {
        return decimal->Negative ? -0.0 : 0.0;
    }
    if (magnitude > 400) {
        return std::nullopt;
    }
    const std::string normalised =
        (decimal->Negative ? "-" : "") + decimal->Digits + "e" + std::to_string(decimal->Exponent);
    double value = 0;
    const auto [end, error] = std::from_chars(normalised.data(), normalised.data() + normalised.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Overflow is no number; underflow rounds to zero.
        if (magnitude > 0) {
            return std::nullopt;
        }
        return decimal->Negative ? -0.0 : 0.0;
    }
    if (error != std::errc{} || end != normalised.data() + normalised.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> StrToMoney(std::string_view text)
{
    const std::optional<TDecimal> decimal = ParseDecimal(text);
    if (!decimal) {
        return std::nullopt;
    }
    const std::string& digits = decimal->Digits;
    if (digits.empty()) {
        return 0;
    }
    const long long shift = decimal->Exponent + 4;
    const std::uint64_t limit = decimal->Negative ? 9223372036854775808ULL : 9223372036854775807ULL;
    std::uint64_t magnitude = 0;
    if (shift >= 0) {
        if (static_cast<long long>(digits.size()) + shift > 19) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> value =
            DigitsToUnsigned(digits + std::string(static_cast<std::size_t>(shift), '0'), limit);
        if (!value) {
            return std::nullopt;
        }
        magnitude = *value;
    } else {
        // The last -shift digits are dropped and decide the rounding.
        const auto dropped = static_cast<unsigned long long>(-shift);
        const std::size_t kept = dropped >= digits.size() ? 0 : digits.size() - static_cast<std::size_t>(dropped);
        const std::string_view whole = std::string_view(digits).substr(0, kept);
        if (whole.size() > 19) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> value = DigitsToUnsigned(whole, limit);
        if (!value) {
            return std::nullopt;
        }
        magnitude = *value;
        // The digits carry no trailing zeros, so a dropped part that starts
        // with 5 is exactly one half only when that 5 is the last digit.
        const bool firstDroppedIsLeading = dropped <= digits.size();
        const char firstDropped = firstDroppedIsLeading ? digits[kept] : '0';
        const bool exactHalf = firstDropped == '5' && kept + 1 == digits.size();
        const bool roundUp =
            firstDropped > '5' || (firstDropped == '5' && !exactHalf) || (exactHalf && magnitude % 2 == 1);
        if (roundUp) {
            if (magnitude == limit) {
                return std::nullopt;
            }
            ++magnitude;
        }
    }
    return static_cast<std::int64_t>(decimal->Negative ? 0ULL - magnitude : magnitude);
}

}  // namespace zarvik12m
