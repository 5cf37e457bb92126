#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "driver/common/convert.h"
#include "zarvik12m/goods.h"

// The field conversions of the payload layouts, on top of the byte-level
// ones: money, scaled numbers and the three kinds of text field. Numbers
// sent are rounded to the nearest integer with halves to even, and only
// their low bits go on the wire.

namespace zarvik12m {

// Currency (value x 10000) as a whole number of units: 12.5 gives 12,
// 13.5 gives 14.
void WriteCurrency(std::span<std::uint8_t, 4> place, std::int64_t currency);
std::int64_t ReadCurrency(std::span<const std::uint8_t, 4> place);
std::int64_t ReadCurrency40(std::span<const std::uint8_t, 5> place);

// A number with three decimals, sent as value x 1000.
void WriteThousandths(std::span<std::uint8_t, 4> place, double value);
double ReadThousandths(std::span<const std::uint8_t, 4> place);

// A number with two decimals, sent as value x 100.
void WriteHundredths(std::span<std::uint8_t, 2> place, float value);
float ReadHundredths(std::span<const std::uint8_t, 2> place);

// Text in the register's DOS Cyrillic, blank-padded and cut to the field.
template <std::size_t N>
void WriteDosText(std::span<std::uint8_t, N> place, const TZarvik12m_ShortString<N>& text)
{
    StrToField(place, text.View(), ccWinDos);
}

// DOS Cyrillic text without its trailing blanks.
template <std::size_t N>
TZarvik12m_ShortString<N> ReadDosText(std::span<const std::uint8_t, N> place)
{
    return TZarvik12m_ShortString<N>::FromText(FieldToStr(place, ccDosWin));
}

// Characters taken as they stand, blanks and all.
template <std::size_t N>
TZarvik12m_ShortString<N> ReadRawText(std::span<const std::uint8_t, N> place)
{
    return TZarvik12m_ShortString<N>::FromText(BytesToStr(place));
}

// Characters as they stand, without trailing blanks.
template <std::size_t N>
TZarvik12m_ShortString<N> ReadTrimmedText(std::span<const std::uint8_t, N> place)
{
    return TZarvik12m_ShortString<N>::FromText(FieldToStr(place, ccNone));
}

// Characters as they stand, right-justified with blanks.
template <std::size_t N>
void WriteRightText(std::span<std::uint8_t, N> place, const TZarvik12m_ShortString<N>& text)
{
    StrToRightField(place, text.View());
}

}  // namespace zarvik12m
