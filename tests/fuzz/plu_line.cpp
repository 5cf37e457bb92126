// The PLU file's line: arbitrary lines under arbitrary separators, and
// entries written by the writer and read back.
//
// Input: byte 0 is the separator. Then an entry: code (2 bytes), group,
// price, quantity, whether the two numbers are ones the register sends
// (whole money units, thousandths) or any, the barcode and the name (a
// length byte each). Whatever follows is parsed as a line of its own.
//
// Properties:
// - nothing crashes on any line; the six fields lie in the line, in order;
// - the money and the floating reading of one text agree: both or neither
//   take it, and their values match (unless the money is out of range);
// - a line the writer made, whose separator stands only between the fields,
//   parses back to its entry: a value the register sends exactly, the
//   barcode right-aligned in its 13 characters, the name padded with blanks
//   to 16, the price rounded to cents; and writing that entry again gives
//   the same line.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/fuzz_input.h"
#include "utility/number_text.h"
#include "utility/plu_line.h"

namespace zarvik12m {
namespace {

using fuzz::TFuzzInput;

// The price as written: to whole cents, halves away from zero.
std::int64_t RoundedToCents(std::int64_t price)
{
    const std::int64_t rest = price % 100;
    std::int64_t cents = price - rest;
    if (rest >= 50) {
        cents += 100;
    } else if (rest <= -50) {
        cents -= 100;
    }
    return cents;
}

void CheckNumberReadings(std::string_view text)
{
    const std::optional<double> number = StrToFloat(text);
    const std::optional<std::int64_t> money = StrToMoney(text);
    if (money) {
        ZARVIK12M_FUZZ_CHECK(number.has_value());
        const double scaled = *number * 10000.0;
        const double exact = static_cast<double>(*money);
        // The money is the exact decimal rounded once; the double reading
        // is within its own rounding of it.
        ZARVIK12M_FUZZ_CHECK(std::abs(scaled - exact) <= 0.5 + std::abs(exact) * 1e-15);
    } else if (number) {
        // Only a value beyond the money range may be refused.
        ZARVIK12M_FUZZ_CHECK(std::abs(*number * 10000.0) >= 9.2e18);
    }
}

void CheckLine(std::string_view line, char separator)
{
    const std::array<std::string_view, 6> fields = SplitPluLine(line, separator);
    const char* previousEnd = line.data();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view field = fields[i];
        if (field.empty()) {
            continue;
        }
        ZARVIK12M_FUZZ_CHECK(field.data() >= previousEnd && field.data() + field.size() <= line.data() + line.size());
        ZARVIK12M_FUZZ_CHECK(i == 5 || field.find(separator) == std::string_view::npos);
        previousEnd = field.data() + field.size();
    }
    CheckNumberReadings(fields[2]);
    CheckNumberReadings(fields[5]);
    static_cast<void>(ParsePluLine(line, separator));
}

std::string Padded(std::string_view text, std::size_t width, bool right)
{
    const std::string blanks(text.size() < width ? width - text.size() : 0, ' ');
    return right ? blanks + std::string(text) : std::string(text) + blanks;
}

// sent: the entry holds only values the register sends.
void CheckRoundTrip(const TZarvik12m_GoodsItem& item, char separator, bool sent)
{
    const std::string written = FormatPluLine(item, separator);
    ZARVIK12M_FUZZ_CHECK(written.ends_with("\r\n"));
    const std::string_view line = std::string_view(written).substr(0, written.size() - 2);
    // A separator that also stands inside a field (a blank, a digit, the
    // point, a character of the barcode or name) cannot be read back.
    if (std::count(line.begin(), line.end(), separator) != 5) {
        return;
    }
    // Codes outside the table, and money or quantities beyond the
    // register's fields, are refused; everything the register sends comes
    // back.
    TPluLineFault fault = pfNone;
    const std::optional<TZarvik12m_GoodsItem> read = ParsePluLine(line, separator, fault);
    const bool inTable = item.Code >= 1 && item.Code <= MaxGoodsCount;
    if (!read) {
        ZARVIK12M_FUZZ_CHECK(!inTable || (!sent && (fault == pfPrice || fault == pfQuantity)));
        return;
    }
    ZARVIK12M_FUZZ_CHECK(inTable && fault == pfNone);
    ZARVIK12M_FUZZ_CHECK(read->Code == item.Code && read->Group == item.Group);
    ZARVIK12M_FUZZ_CHECK(read->Barcode.View() == Padded(item.Barcode.View(), BarcodeWidth, true));
    ZARVIK12M_FUZZ_CHECK(read->Name.View() == Padded(item.Name.View(), NameWidth, false));
    ZARVIK12M_FUZZ_CHECK(read->Price == RoundedToCents(item.Price));
    if (sent) {
        ZARVIK12M_FUZZ_CHECK(read->Price == item.Price && read->Quantity == item.Quantity);
    } else {
        const double q = item.Quantity;
        ZARVIK12M_FUZZ_CHECK(std::abs(read->Quantity - q) <= 0.0005 + std::abs(q) * 1e-15);
    }
    // A negative quantity that rounds to zero is written "-0.000" and
    // read as zero, which is written "0.000"; the register sends none.
    if (!(item.Quantity < 0 && read->Quantity == 0)) {
        ZARVIK12M_FUZZ_CHECK(FormatPluLine(*read, separator) == written);
    }
}

TZarvik12m_GoodsItem ItemOf(TFuzzInput& input, bool& sent)
{
    TZarvik12m_GoodsItem item{};
    item.Code = input.Unsigned<std::uint16_t>();
    item.Group = input.Byte();
    const std::uint64_t price = input.Unsigned<std::uint64_t>();
    const std::uint64_t quantity = input.Unsigned<std::uint64_t>();
    sent = (input.Byte() & 1U) == 0;
    if (sent) {
        // The register's money is whole units of 32 bits (x 10000), its
        // quantities 32-bit thousandths.
        item.Price = static_cast<std::int64_t>(price & 0xFFFFFFFFU) * 10000;
        item.Quantity = static_cast<double>(quantity & 0xFFFFFFFFU) / 1000.0;
    } else {
        item.Price = static_cast<std::int64_t>(price);
        double value = 0;
        std::memcpy(&value, &quantity, sizeof value);
        item.Quantity = std::isfinite(value) ? value : 0.0;
    }
    item.Barcode.Assign(input.Text(BarcodeWidth));
    item.Name.Assign(input.Text(NameWidth));
    return item;
}

}  // namespace
}  // namespace zarvik12m

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m;
    fuzz::TFuzzInput input(std::span(data, size));
    const auto separator = static_cast<char>(input.Byte());
    bool sent = false;
    const TZarvik12m_GoodsItem item = ItemOf(input, sent);
    CheckRoundTrip(item, separator, sent);

    const std::string_view line = fuzz::AsText(input.Rest());
    CheckLine(line, separator);
    if (const std::optional<TZarvik12m_GoodsItem> read = ParsePluLine(line, separator)) {
        CheckRoundTrip(*read, separator, false);
    }
    return 0;
}
