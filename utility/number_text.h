#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Numbers as the utility reads them from its command line and from the PLU
// file. Nothing here depends on the locale.

namespace zarvik12m {

// An integer: optional leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing
// may follow the digits; an empty text is no integer. Decimal values must
// lie in the signed 32-bit range; hexadecimal ones are 32-bit patterns
// ($FFFFFFFF is -1).
std::optional<std::int32_t> StrToInt(std::string_view text);

// A decimal number with '.' as the decimal separator: blanks before and
// after, an optional sign, digits with at most one '.', at least one digit,
// and an optional exponent (e or E, an optional sign, digits). A value too
// large for a double is no number; one too small becomes zero.
std::optional<double> StrToFloat(std::string_view text);

// The same syntax as StrToFloat, as a money value: the number times 10000,
// rounded to the nearest integer with halves to even, computed exactly on
// the decimal digits. A value outside the signed 64-bit range is no number.
std::optional<std::int64_t> StrToMoney(std::string_view text);

}  // namespace zarvik12m
