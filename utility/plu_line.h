#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zarvik12m/goods.h"

// One line of the PLU file: six fields joined by the separator character,
// Code;Barcode;Price;Name;Group;Quantity. Texts are Windows-1251 bytes,
// written and read without conversion.

namespace zarvik12m {

// The line of an entry, ended by CR LF: the code right-aligned in 4
// characters, the barcode right-aligned in 13, the price with 2 decimals
// right-aligned in 11, the name left-aligned in 16, the group right-aligned
// in 2, the quantity with 3 decimals right-aligned in 11; a longer value
// takes the room it needs.
std::string FormatPluLine(const TZarvik12m_GoodsItem& item, char separator);

// The six field texts of a line (without its line end). Fields 1 to 5 each
// end at the next separator; where none is left, the field is empty and the
// next field is looked for in the same text. Field 6 is all that remains,
// further separators included.
std::array<std::string_view, 6> SplitPluLine(std::string_view line, char separator);

// The room of the register's text fields, in characters.
inline constexpr std::size_t BarcodeWidth = 13;
inline constexpr std::size_t NameWidth = 16;

// Why a line cannot be sent.
enum TPluLineFault : std::uint8_t {
    pfNone,
    pfFieldCount,  // fewer than six fields
    pfNumber,      // a numeric field that is neither blank nor a number
    pfCode,        // a code outside 1..4000
    pfBarcode,     // a barcode longer than its room
    pfPrice,       // a price below 0 or beyond the register's whole units
    pfName,        // a name longer than its room
    pfGroup,       // a group outside 0..255
    pfQuantity,    // a quantity below 0 or beyond the register's thousandths
};

// The entry of a line, or nothing, with the reason in fault, when the
// register could not hold the line's values as they stand: every value
// sent is the value of the file (the price rounded to whole units, the
// quantity to thousandths, as the register keeps them). Blank group, price
// and quantity fields give 0. The barcode and the name are taken as they
// are, blanks included.
std::optional<TZarvik12m_GoodsItem> ParsePluLine(std::string_view line, char separator, TPluLineFault& fault);

// The same, without the reason.
std::optional<TZarvik12m_GoodsItem> ParsePluLine(std::string_view line, char separator);

}  // namespace zarvik12m
