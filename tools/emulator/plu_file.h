#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/emulator/goods_record.h"

// The goods file of the console utility: one line per goods, six fields
// (number, barcode, price, name, group, quantity) joined by a separator
// character, Windows-1251 text, CR LF line ends. The emulator reads it as
// the utility does before writing it into a register, and writes its table
// as the utility writes what it read from one.

namespace zarvik12m::emulator {

struct TPluContents {
    TGoodsTable Goods;
    // Lines (counted from 1) whose goods number is outside 1..4000; a
    // register would refuse them, so they are left out. Empty lines, which
    // carry number 0, are left out without a mention.
    std::vector<std::size_t> RefusedLines;
};

TPluContents ParsePluText(std::string_view text, char separator);
std::string FormatPluText(const TGoodsTable& goods, char separator);

// Throw std::runtime_error with the system's reason when the file cannot
// be read or written.
TPluContents LoadPluFile(const std::filesystem::path& path, char separator);
void SavePluFile(const std::filesystem::path& path, const TGoodsTable& goods, char separator);

// An integer the utility's way: leading blanks, a sign, decimal digits or
// hexadecimal ones after "$", "x" or "0x"; nothing after the digits.
bool ParseInteger(std::string_view text, std::int32_t& value);

// A decimal number with '.' as the separator; blanks around it allowed.
bool ParseDecimal(std::string_view text, double& value);

}  // namespace zarvik12m::emulator
