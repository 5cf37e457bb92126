#include "server/goods_formats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>

#include <nlohmann/json.hpp>

#include "driver/common/cp1251.h"
#include "server/goods_json.h"
#include "utility/plu_line.h"

namespace zarvik12m::server {

namespace {

constexpr char Separator = ';';
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::array<std::string_view, 6> Fields = {"code", "barcode", "price", "name", "group", "quantity"};

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string LowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

// The line (from 1) of a byte of the body.
std::size_t LineOf(std::string_view body, std::size_t offset)
{
    return 1 + static_cast<std::size_t>(std::count(
                   body.begin(), body.begin() + static_cast<std::ptrdiff_t>(std::min(offset, body.size())), '\n'));
}

// The body as UTF-8, by its charset or, without one, as it decodes.
std::string Utf8Body(std::string_view body, std::string_view charset, bool utf8WithoutCharset)
{
    const std::string name = LowerCase(charset);
    bool utf8 = utf8WithoutCharset;
    if (name == "utf-8" || name == "utf8") {
        utf8 = true;
    } else if (name == "windows-1251" || name == "cp1251") {
        utf8 = false;
    } else if (!name.empty()) {
        throw EBadGoodsBody("кодировка " + std::string(charset) + " не поддерживается (utf-8 или windows-1251)");
    }
    if (!utf8) {
        return Cp1251ToUtf8(body);
    }
    if (body.starts_with(Utf8Bom)) {
        body.remove_prefix(Utf8Bom.size());
    }
    if (!IsWellFormedUtf8(body)) {
        std::size_t good = 0;
        while (good < body.size()) {
            const TUtf8Sequence sequence = DecodeUtf8(body, good);
            if (sequence.Length == 0) {
                break;
            }
            good += sequence.Length;
        }
        throw EBadGoodsBody("строка " + std::to_string(LineOf(body, good)) + ": текст не в UTF-8");
    }
    return std::string(body);
}

// A whole number field as JSON: a number when it is one, else the text,
// which the JSON check then refuses by name.
nlohmann::json IntegerField(std::string_view text)
{
    text = Trimmed(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
        return value;
    }
    return std::string(text);
}

// A row of six field texts as the JSON of an entry, so that every format
// goes through the same checks. Blank numbers are 0, as the utility takes
// them.
nlohmann::json ItemJson(const std::array<std::string, 6>& fields)
{
    const auto number = [](std::string_view text) {
        text = Trimmed(text);
        return text.empty() ? std::string("0") : std::string(text);
    };
    return {{"code", IntegerField(fields[0])},
            {"barcode", fields[1]},
            {"price", number(fields[2])},
            {"name", fields[3]},
            {"group", Trimmed(fields[4]).empty() ? nlohmann::json(0) : IntegerField(fields[4])},
            {"quantity", number(fields[5])}};
}

TGoodsBody Checked(const nlohmann::json& items)
{
    TGoodsBody out;
    out.Goods = GoodsFromJson(items, out.Problems);
    return out;
}

// The records of a CSV text: RFC 4180 with ';' and either line end; the
// line each record starts on.
struct TCsvRecord {
    std::vector<std::string> Fields;
    std::size_t Line = 0;
};

std::vector<TCsvRecord> CsvRecords(std::string_view text)
{
    std::vector<TCsvRecord> records;
    std::size_t line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        TCsvRecord record;
        record.Line = line;
        std::string field;
        for (;;) {
            if (i < text.size() && text[i] == '"') {
                const std::size_t opened = line;
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        throw EBadGoodsBody("строка " + std::to_string(opened) + ": кавычка не закрыта");
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field.push_back('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    line += text[i] == '\n' ? 1 : 0;
                    field.push_back(text[i++]);
                }
                if (i < text.size() && text[i] != Separator && text[i] != '\r' && text[i] != '\n') {
                    throw EBadGoodsBody("строка " + std::to_string(line) + ": после закрывающей кавычки");
                }
            } else {
                while (i < text.size() && text[i] != Separator && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"') {
                        throw EBadGoodsBody("строка " + std::to_string(line) + ": кавычка внутри поля без кавычек");
                    }
                    field.push_back(text[i++]);
                }
            }
            record.Fields.push_back(std::move(field));
            field.clear();
            if (i < text.size() && text[i] == Separator) {
                ++i;
                continue;
            }
            break;
        }
        if (i < text.size() && text[i] == '\r') {
            ++i;
        }
        if (i < text.size() && text[i] == '\n') {
            ++i;
            ++line;
        } else if (i < text.size()) {
            throw EBadGoodsBody("строка " + std::to_string(line) + ": одиночный CR");
        }
        records.push_back(std::move(record));
        if (records.size() > ZARVIK12M_MAX_GOODS + 1000) {
            throw EBadGoodsBody("больше " + std::to_string(ZARVIK12M_MAX_GOODS) + " товаров");
        }
    }
    return records;
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

std::string_view TextOf(const char* field, std::size_t size)
{
    return {field, strnlen(field, size)};
}

}  // namespace

TGoodsBody GoodsFromJsonText(std::string_view body)
{
    nlohmann::json parsed;
    try {
        parsed = nlohmann::json::parse(body);
    } catch (const nlohmann::json::parse_error& e) {
        throw EBadGoodsBody("Неверный JSON, байт " + std::to_string(e.byte) + ": " + e.what());
    } catch (const nlohmann::json::exception& e) {
        // A number beyond a double's range (1e999) is told apart from the
        // syntax errors.
        throw EBadGoodsBody(std::string("Неверный JSON: ") + e.what());
    }
    return Checked(parsed);
}

TGoodsBody GoodsFromCsv(std::string_view body, std::string_view charset)
{
    const std::string text = Utf8Body(body, charset, IsWellFormedUtf8(body));
    const std::vector<TCsvRecord> records = CsvRecords(text);
    if (records.empty()) {
        throw EBadGoodsBody("строка 1: нет строки заголовка (code;barcode;price;name;group;quantity)");
    }
    std::array<std::size_t, 6> columns{};
    for (std::size_t field = 0; field < Fields.size(); ++field) {
        const auto& header = records.front().Fields;
        const auto found = std::find_if(header.begin(), header.end(),
                                        [&](const std::string& name) { return Trimmed(name) == Fields[field]; });
        if (found == header.end()) {
            throw EBadGoodsBody("строка 1: в заголовке нет поля " + std::string(Fields[field]));
        }
        columns[field] = static_cast<std::size_t>(found - header.begin());
    }
    nlohmann::json items = nlohmann::json::array();
    for (std::size_t r = 1; r < records.size(); ++r) {
        const TCsvRecord& record = records[r];
        if (std::all_of(record.Fields.begin(), record.Fields.end(),
                        [](const std::string& field) { return Trimmed(field).empty(); })) {
            continue;
        }
        if (record.Fields.size() != records.front().Fields.size()) {
            throw EBadGoodsBody("строка " + std::to_string(record.Line) + ": " + std::to_string(record.Fields.size()) +
                                " полей вместо " + std::to_string(records.front().Fields.size()));
        }
        std::array<std::string, 6> fields;
        for (std::size_t field = 0; field < Fields.size(); ++field) {
            fields[field] = record.Fields[columns[field]];
        }
        items.push_back(ItemJson(fields));
    }
    return Checked(items);
}

TGoodsBody GoodsFromPlu(std::string_view body, std::string_view charset)
{
    const bool utf8 = IsWellFormedUtf8(body) && std::any_of(body.begin(), body.end(), [](char c) {
                          return static_cast<unsigned char>(c) > 0x7F;
                      });
    const std::string text = Utf8Body(body, charset, utf8);
    nlohmann::json items = nlohmann::json::array();
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        // A CR ends a line before LF; elsewhere it is dropped, as the
        // utility reads.
        std::erase(line, '\r');
        if (Trimmed(line).empty()) {
            continue;
        }
        if (std::count(line.begin(), line.end(), Separator) < 5) {
            throw EBadGoodsBody("строка " + std::to_string(lineNumber) + ": меньше шести полей");
        }
        if (items.size() == ZARVIK12M_MAX_GOODS) {
            throw EBadGoodsBody("строка " + std::to_string(lineNumber) + ": больше " +
                                std::to_string(ZARVIK12M_MAX_GOODS) + " товаров");
        }
        const std::array<std::string_view, 6> split = SplitPluLine(line, Separator);
        std::array<std::string, 6> fields;
        std::copy(split.begin(), split.end(), fields.begin());
        // The name is aligned with blanks that the register does not keep.
        fields[3] = std::string(std::string_view(fields[3]).substr(0, fields[3].find_last_not_of(' ') + 1));
        items.push_back(ItemJson(fields));
    }
    return Checked(items);
}

std::string GoodsToCsv(std::span<const zarvik12m_goods_item> goods)
{
    std::string out = "code;barcode;price;name;group;quantity\r\n";
    for (const zarvik12m_goods_item& item : goods) {
        std::string_view barcode = TextOf(item.barcode, sizeof item.barcode);
        barcode.remove_prefix(std::min(barcode.find_first_not_of(' '), barcode.size()));
        out += std::to_string(item.code) + ';' + CsvField(barcode) + ';' + PriceText(item.price) + ';' +
               CsvField(TextOf(item.name, sizeof item.name)) + ';' + std::to_string(item.group) + ';' +
               QuantityText(item.quantity) + "\r\n";
    }
    return out;
}

std::string GoodsToPlu(std::span<const zarvik12m_goods_item> goods)
{
    std::string out;
    out.reserve(goods.size() * 66);
    for (std::size_t i = 0; i < goods.size(); ++i) {
        const zarvik12m_goods_item& item = goods[i];
        TZarvik12m_GoodsItem entry{};
        entry.Code = item.code;
        entry.Barcode.Assign(TextOf(item.barcode, sizeof item.barcode));
        entry.Price = item.price;
        entry.Name.Assign(Utf8ToCp1251(TextOf(item.name, sizeof item.name)));
        entry.Group = item.group;
        entry.Quantity = item.quantity;
        if (entry.Barcode.View().find(Separator) != std::string_view::npos ||
            entry.Name.View().find(Separator) != std::string_view::npos) {
            throw EBadGoodsBody("товар " + std::to_string(i + 1) + " (код " + std::to_string(item.code) +
                                ") содержит ';': файл PLU не прочитать обратно, возьмите CSV");
        }
        out += FormatPluLine(entry, Separator);
    }
    return out;
}

}  // namespace zarvik12m::server
