#include "tools/emulator/plu_file.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace zarvik12m::emulator {

namespace {

constexpr std::size_t FieldCount = 6;

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) {
        text.remove_suffix(1);
    }
    return text;
}

// Halves go to the even neighbour, as the utility and the driver round. A
// number beyond any register's reach (or "1e400") counts as 0 rather than
// as whatever an overflowing conversion would make of it.
std::int64_t RoundHalfEven(double value)
{
    if (!(std::fabs(value) < 9.0e18)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::nearbyint(value));
}

// A money value becomes the register's whole number: first to four
// decimals, as the utility keeps money, then to the nearest whole.
std::uint32_t WirePrice(double value)
{
    const std::int64_t money = RoundHalfEven(value * 10000.0);
    std::int64_t whole = money / 10000;
    const std::int64_t rest = money % 10000;
    const std::int64_t half = rest < 0 ? -rest : rest;
    if (half > 5000 || (half == 5000 && whole % 2 != 0)) {
        whole += money < 0 ? -1 : 1;
    }
    return static_cast<std::uint32_t>(whole);
}

// Splits a line into its six fields: each of the first five ends at the
// next separator; when none is left the field is empty and the search goes
// on in the same text. The sixth is whatever remains.
std::vector<std::string_view> SplitFields(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i + 1 < FieldCount; ++i) {
        const std::size_t position = line.find(separator);
        if (position == std::string_view::npos) {
            fields.emplace_back();
            continue;
        }
        fields.push_back(line.substr(0, position));
        line.remove_prefix(position + 1);
    }
    fields.push_back(line);
    return fields;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string WithoutCarriageReturns(std::string_view line)
{
    std::string result;
    for (const char c : line) {
        if (c != '\r') {
            result.push_back(c);
        }
    }
    return result;
}

std::string RightAligned(std::string text, std::size_t width)
{
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

// A number of thousandths with three decimals: 1500 is "1.500".
std::string Thousandths(std::uint32_t value)
{
    char text[24];
    static_cast<void>(std::snprintf(text, sizeof text, "%u.%03u", value / 1000U, value % 1000U));
    return text;
}

std::string SystemReason()
{
    return std::generic_category().message(errno);
}

}  // namespace

bool ParseInteger(std::string_view text, std::int32_t& value)
{
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    if (base == 16) {
        // Hexadecimal gives the 32 bits as they stand.
        if (magnitude > 0xFFFFFFFFULL) {
            return false;
        }
        const auto bits = static_cast<std::uint32_t>(negative ? 0U - magnitude : magnitude);
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (magnitude > (negative ? 2147483648ULL : 2147483647ULL)) {
        return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

bool ParseDecimal(std::string_view text, double& value)
{
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits or the decimal point must come first: no "inf", no "nan".
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) != 0 || text.front() == '.')) {
        return false;
    }
    double magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

TPluContents ParsePluText(std::string_view text, char separator)
{
    TPluContents contents;
    std::size_t lineNumber = 0;
    for (const std::string_view rawLine : SplitLines(text)) {
        ++lineNumber;
        const std::string line = WithoutCarriageReturns(rawLine);
        const std::vector<std::string_view> fields = SplitFields(line, separator);

        std::int32_t number = 0;
        if (!ParseInteger(fields[0], number)) {
            number = 0;
        }
        const auto goodsNumber = static_cast<std::uint16_t>(number);
        if (goodsNumber < 1 || goodsNumber > MaxGoodsNumber) {
            if (!line.empty()) {
                contents.RefusedLines.push_back(lineNumber);
            }
            continue;
        }
        TGoodsRecord record;
        record.Barcode = std::string(fields[1].substr(0, BarcodeWidth));
        double price = 0;
        record.Price = ParseDecimal(fields[2], price) ? WirePrice(price) : 0;
        record.Name = std::string(fields[3].substr(0, NameWidth));
        std::int32_t group = 0;
        record.Group = static_cast<std::uint8_t>(ParseInteger(fields[4], group) ? group : 0);
        double quantity = 0;
        record.Quantity =
            static_cast<std::uint32_t>(ParseDecimal(fields[5], quantity) ? RoundHalfEven(quantity * 1000.0) : 0);
        contents.Goods[goodsNumber] = Normalised(record);
    }
    return contents;
}

std::string FormatPluText(const TGoodsTable& goods, char separator)
{
    std::string text;
    for (const auto& [number, record] : goods) {
        std::string name = record.Name;
        if (name.size() < NameWidth) {
            name.append(NameWidth - name.size(), ' ');
        }
        const std::string fields[FieldCount] = {
            RightAligned(std::to_string(number), 4),
            RightAligned(record.Barcode, BarcodeWidth),
            RightAligned(std::to_string(record.Price) + ".00", 11),
            name,
            RightAligned(std::to_string(record.Group), 2),
            RightAligned(Thousandths(record.Quantity), 11),
        };
        for (std::size_t i = 0; i < FieldCount; ++i) {
            if (i > 0) {
                text.push_back(separator);
            }
            text += fields[i];
        }
        text += "\r\n";
    }
    return text;
}

TPluContents LoadPluFile(const std::filesystem::path& path, char separator)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error(path.string() + ": " + SystemReason());
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        throw std::runtime_error(path.string() + ": " + SystemReason());
    }
    return ParsePluText(text, separator);
}

void SavePluFile(const std::filesystem::path& path, const TGoodsTable& goods, char separator)
{
    const std::string text = FormatPluText(goods, separator);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error(path.string() + ": " + SystemReason());
    }
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
        throw std::runtime_error(path.string() + ": " + SystemReason());
    }
}

}  // namespace zarvik12m::emulator
