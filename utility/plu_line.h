#pragma once

#include <array>
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

// The entry of a line. Empty and blank numeric fields give 0; a numeric
// field that holds anything else but a valid number makes the line invalid
// (nothing), rather than sending a wrong value to the register. The barcode
// and the name are taken as they are, blanks included, cut to their room.
std::optional<TZarvik12m_GoodsItem> ParsePluLine(std::string_view line, char separator);

}  // namespace zarvik12m
