#include "utility/plu_line.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "driver/common/rounding.h"
#include "utility/number_text.h"

namespace zarvik12m {

namespace {

constexpr std::size_t CodeWidth = 4;
constexpr std::size_t PriceWidth = 11;
constexpr std::size_t GroupWidth = 2;
constexpr std::size_t QuantityWidth = 11;

std::string RightAligned(std::string_view text, std::size_t width)
{
    std::string result(text.size() < width ? width - text.size() : 0, ' ');
    result += text;
    return result;
}

std::string LeftAligned(std::string_view text, std::size_t width)
{
    std::string result(text);
    if (result.size() < width) {
        result.append(width - result.size(), ' ');
    }
    return result;
}

// The money value (x 10000) with two decimals, the dropped hundredths of a
// cent rounded half away from zero.
std::string MoneyText(std::int64_t price)
{
    const bool negative = price < 0;
    std::uint64_t magnitude = negative ? 0ULL - static_cast<std::uint64_t>(price) : static_cast<std::uint64_t>(price);
    std::uint64_t cents = magnitude / 100 + (magnitude % 100 >= 50 ? 1 : 0);
    std::string text = negative && cents != 0 ? "-" : "";
    text += std::to_string(cents / 100);
    text += '.';
    text += static_cast<char>('0' + cents / 10 % 10);
    text += static_cast<char>('0' + cents % 10);
    return text;
}

std::string QuantityText(double quantity)
{
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, quantity, std::chars_format::fixed, 3);
    if (error != std::errc{}) {
        return "0.000";
    }
    std::string text(buffer, end);
    // No negative zero: "0.000" however the zero came about, a tiny
    // negative amount that rounds to it included.
    if (text == "-0.000") {
        text.erase(0, 1);
    }
    return text;
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// A numeric field: 0 when blank, the number when valid, nothing otherwise.
template <class TNumber>
std::optional<TNumber> NumericField(std::string_view text, std::optional<TNumber> (*parse)(std::string_view))
{
    if (IsBlank(text)) {
        return TNumber{};
    }
    return parse(text);
}

// The register's money field holds whole units of 32 bits; the money value
// is kept x 10000 and rounded to a unit with halves to even on the way, so
// 4294967295.4999 is the last value it holds.
constexpr std::int64_t MaxPrice = std::int64_t{std::numeric_limits<std::uint32_t>::max()} * 10000 + 4999;

// Quantities go as 32-bit thousandths, rounded with halves to even.
bool QuantityFits(double quantity)
{
    return quantity >= 0 && RoundHalfEven(quantity * 1000.0) <= std::numeric_limits<std::uint32_t>::max();
}

std::optional<TZarvik12m_GoodsItem> Refused(TPluLineFault reason, TPluLineFault& fault)
{
    fault = reason;
    return std::nullopt;
}

}  // namespace

std::string FormatPluLine(const TZarvik12m_GoodsItem& item, char separator)
{
    std::string line = RightAligned(std::to_string(item.Code), CodeWidth);
    line += separator;
    line += RightAligned(item.Barcode.View(), BarcodeWidth);
    line += separator;
    line += RightAligned(MoneyText(item.Price), PriceWidth);
    line += separator;
    line += LeftAligned(item.Name.View(), NameWidth);
    line += separator;
    line += RightAligned(std::to_string(item.Group), GroupWidth);
    line += separator;
    line += RightAligned(QuantityText(item.Quantity), QuantityWidth);
    line += "\r\n";
    return line;
}

std::array<std::string_view, 6> SplitPluLine(std::string_view line, char separator)
{
    std::array<std::string_view, 6> fields{};
    std::string_view rest = line;
    for (std::size_t i = 0; i < 5; ++i) {
        const std::size_t position = rest.find(separator);
        if (position != std::string_view::npos) {
            fields[i] = rest.substr(0, position);
            rest.remove_prefix(position + 1);
        }
    }
    fields[5] = rest;
    return fields;
}

std::optional<TZarvik12m_GoodsItem> ParsePluLine(std::string_view line, char separator, TPluLineFault& fault)
{
    fault = pfNone;
    if (std::count(line.begin(), line.end(), separator) < 5) {
        return Refused(pfFieldCount, fault);
    }
    const std::array<std::string_view, 6> fields = SplitPluLine(line, separator);
    const std::optional<std::int32_t> code = NumericField(fields[0], &StrToInt);
    const std::optional<std::int64_t> price = NumericField(fields[2], &StrToMoney);
    const std::optional<std::int32_t> group = NumericField(fields[4], &StrToInt);
    const std::optional<double> quantity = NumericField(fields[5], &StrToFloat);
    if (!code || !price || !group || !quantity) {
        return Refused(pfNumber, fault);
    }
    if (*code < 1 || *code > static_cast<std::int32_t>(MaxGoodsCount)) {
        return Refused(pfCode, fault);
    }
    if (fields[1].size() > BarcodeWidth) {
        return Refused(pfBarcode, fault);
    }
    if (*price < 0 || *price > MaxPrice) {
        return Refused(pfPrice, fault);
    }
    if (fields[3].size() > NameWidth) {
        return Refused(pfName, fault);
    }
    if (*group < 0 || *group > std::numeric_limits<std::uint8_t>::max()) {
        return Refused(pfGroup, fault);
    }
    if (!QuantityFits(*quantity)) {
        return Refused(pfQuantity, fault);
    }
    TZarvik12m_GoodsItem item{};
    item.Code = static_cast<std::uint16_t>(*code);
    item.Barcode.Assign(fields[1]);
    item.Price = *price;
    item.Name.Assign(fields[3]);
    item.Group = static_cast<std::uint8_t>(*group);
    item.Quantity = *quantity;
    return item;
}

std::optional<TZarvik12m_GoodsItem> ParsePluLine(std::string_view line, char separator)
{
    TPluLineFault ignored = pfNone;
    return ParsePluLine(line, separator, ignored);
}

}  // namespace zarvik12m
