#include "server/goods_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace zarvik12m::server {

namespace {

using goods_rules::TGoodsProblem;

constexpr std::int64_t PriceScale = goods_rules::PriceScale;
constexpr std::size_t MaxEntries = ZARVIK12M_MAX_GOODS;

// Field names and their Russian names in messages, as the rules use them.
struct TField {
    const char* Key;
    const char* Text;
};
constexpr TField CodeField{"code", "код"};
constexpr TField BarcodeField{"barcode", "штрихкод"};
constexpr TField PriceField{"price", "цена"};
constexpr TField NameField{"name", "название"};
constexpr TField GroupField{"group", "группа"};
constexpr TField QuantityField{"quantity", "количество"};

void AddProblem(std::vector<TGoodsProblem>& problems, std::size_t row, const TField& field, const std::string& what)
{
    problems.push_back({row, field.Key, "Товар " + std::to_string(row + 1) + ", " + field.Text + ": " + what});
}

// The text of a decimal given as a string or a JSON number.
std::optional<std::string> DecimalText(const nlohmann::json& value)
{
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_number()) {
        return value.dump();
    }
    return std::nullopt;
}

// An optional sign, digits, optionally a point and digits: the integer part
// and the fraction's digits.
struct TDecimal {
    bool Negative = false;
    std::string_view Whole;
    std::string_view Fraction;
};

std::optional<TDecimal> SplitDecimal(std::string_view text)
{
    TDecimal out;
    if (!text.empty() && text.front() == '-') {
        out.Negative = true;
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    out.Whole = text.substr(0, point);
    out.Fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (out.Whole.empty() || !digits(out.Whole) || !digits(out.Fraction) ||
        (point != std::string_view::npos && out.Fraction.empty())) {
        return std::nullopt;
    }
    return out;
}

// Units x 10000 of an exact decimal; nothing when it has more than four
// decimals or does not fit.
std::optional<std::int64_t> ScaledPrice(const TDecimal& decimal)
{
    std::string_view fraction = decimal.Fraction;
    while (fraction.size() > 4 && fraction.back() == '0') {
        fraction.remove_suffix(1);
    }
    if (fraction.size() > 4 || decimal.Whole.size() > 14) {
        return std::nullopt;
    }
    std::int64_t whole = 0;
    std::from_chars(decimal.Whole.data(), decimal.Whole.data() + decimal.Whole.size(), whole);
    std::int64_t scaled = whole * PriceScale;
    std::int64_t unit = PriceScale / 10;
    for (const char digit : fraction) {
        scaled += (digit - '0') * unit;
        unit /= 10;
    }
    return decimal.Negative ? -scaled : scaled;
}

std::optional<std::int64_t> IntegerOf(const nlohmann::json& value)
{
    if (value.is_number_integer()) {
        return value.is_number_unsigned() && value.get<std::uint64_t>() > std::uint64_t{INT64_MAX}
                   ? std::nullopt
                   : std::optional<std::int64_t>(value.get<std::int64_t>());
    }
    return std::nullopt;
}

template <std::size_t Size>
void CopyText(const nlohmann::json& item, const TField& field, std::size_t row, char (&target)[Size],
              std::vector<TGoodsProblem>& problems)
{
    if (!item.contains(field.Key)) {
        return;
    }
    const nlohmann::json& value = item[field.Key];
    if (!value.is_string()) {
        AddProblem(problems, row, field, "ожидается строка");
        return;
    }
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() >= Size) {
        AddProblem(problems, row, field, "слишком длинное значение");
        return;
    }
    // The register's record ends its texts at a zero byte: what followed
    // would be lost without a word.
    if (text.find('\0') != std::string::npos) {
        AddProblem(problems, row, field, "касса не хранит символ U+0000");
        return;
    }
    std::memcpy(target, text.data(), text.size());
    target[text.size()] = '\0';
}

zarvik12m_goods_item ItemFromJson(const nlohmann::json& item, std::size_t row, std::vector<TGoodsProblem>& problems)
{
    zarvik12m_goods_item out{};
    if (!item.is_object()) {
        AddProblem(problems, row, CodeField, "ожидается объект товара");
        return out;
    }
    if (const std::optional<std::int64_t> code = item.contains("code") ? IntegerOf(item["code"]) : std::nullopt;
        code && *code >= 0 && *code <= 65535) {
        out.code = static_cast<std::uint16_t>(*code);
    } else {
        AddProblem(problems, row, CodeField, "ожидается целое число от 1 до 4000");
    }
    CopyText(item, BarcodeField, row, out.barcode, problems);
    CopyText(item, NameField, row, out.name, problems);
    if (item.contains("price")) {
        const std::optional<std::string> text = DecimalText(item["price"]);
        const std::optional<TDecimal> decimal = text ? SplitDecimal(*text) : std::nullopt;
        const std::optional<std::int64_t> price = decimal ? ScaledPrice(*decimal) : std::nullopt;
        if (price) {
            out.price = *price;
        } else {
            AddProblem(problems, row, PriceField, "ожидается десятичное число, например \"52.00\"");
        }
    }
    if (item.contains("group")) {
        const std::optional<std::int64_t> group = IntegerOf(item["group"]);
        if (group && *group >= 0 && *group <= 255) {
            out.group = static_cast<std::uint8_t>(*group);
        } else {
            AddProblem(problems, row, GroupField, "ожидается целое число от 0 до 255");
        }
    }
    if (item.contains("quantity")) {
        const std::optional<std::string> text = DecimalText(item["quantity"]);
        const std::optional<TDecimal> decimal = text ? SplitDecimal(*text) : std::nullopt;
        if (decimal && decimal->Whole.size() <= 15) {
            out.quantity = std::strtod(text->c_str(), nullptr);
            if (out.quantity == 0.0) {
                out.quantity = 0.0;  // "-0.000" is the register's zero, written as "0.000"
            }
            // More than three decimals (beyond trailing zeros) cannot be
            // kept: made visible to the rules' check as a fraction.
            std::string_view fraction = decimal->Fraction;
            while (!fraction.empty() && fraction.back() == '0') {
                fraction.remove_suffix(1);
            }
            if (fraction.size() > 3) {
                AddProblem(problems, row, QuantityField, "больше трёх знаков после точки");
            }
        } else {
            AddProblem(problems, row, QuantityField, "ожидается десятичное число, например \"24.000\"");
        }
    }
    return out;
}

}  // namespace

std::string PriceText(std::int64_t price)
{
    const bool negative = price < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(price) : static_cast<std::uint64_t>(price);
    const std::uint64_t whole = magnitude / PriceScale;
    const std::uint64_t fraction = magnitude % PriceScale;
    std::array<char, 96> text{};
    if (fraction % 100 == 0) {
        static_cast<void>(std::snprintf(text.data(), text.size(), "%s%llu.%02llu", negative ? "-" : "",
                                        static_cast<unsigned long long>(whole),
                                        static_cast<unsigned long long>(fraction / 100)));
    } else {
        static_cast<void>(std::snprintf(text.data(), text.size(), "%s%llu.%04llu", negative ? "-" : "",
                                        static_cast<unsigned long long>(whole),
                                        static_cast<unsigned long long>(fraction)));
    }
    return text.data();
}

std::string QuantityText(double quantity)
{
    std::array<char, 512> text{};
    static_cast<void>(std::snprintf(text.data(), text.size(), "%.3f", quantity));
    return text.data();
}

nlohmann::json GoodsToJson(std::span<const zarvik12m_goods_item> goods)
{
    nlohmann::json out = nlohmann::json::array();
    for (const zarvik12m_goods_item& item : goods) {
        out.push_back({
            {"code", item.code},
            {"barcode", std::string(item.barcode, strnlen(item.barcode, sizeof item.barcode))},
            {"price", PriceText(item.price)},
            {"name", std::string(item.name, strnlen(item.name, sizeof item.name))},
            {"group", item.group},
            {"quantity", QuantityText(item.quantity)},
        });
    }
    return out;
}

std::vector<zarvik12m_goods_item> GoodsFromJson(const nlohmann::json& body, std::vector<TGoodsProblem>& problems)
{
    const nlohmann::json* list = &body;
    if (body.is_object() && body.contains("goods")) {
        list = &body["goods"];
    }
    std::vector<zarvik12m_goods_item> goods;
    if (!list->is_array()) {
        problems.push_back({0, "goods", "Ожидается {\"goods\": [...]}"});
        return goods;
    }
    if (list->size() > MaxEntries) {
        problems.push_back({0, "code", "Таблица длиннее " + std::to_string(MaxEntries) + " товаров"});
        return goods;
    }
    goods.reserve(list->size());
    for (std::size_t row = 0; row < list->size(); ++row) {
        goods.push_back(ItemFromJson((*list)[row], row, problems));
    }
    // The rules' verdict on every field the JSON gave soundly.
    const std::vector<TGoodsProblem> parsed = problems;
    for (TGoodsProblem& problem : goods_rules::CheckGoods(goods)) {
        const bool known = std::any_of(parsed.begin(), parsed.end(), [&](const TGoodsProblem& p) {
            return p.Row == problem.Row && p.Field == problem.Field;
        });
        if (!known) {
            problems.push_back(std::move(problem));
        }
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const TGoodsProblem& a, const TGoodsProblem& b) { return a.Row < b.Row; });
    return goods;
}

nlohmann::json ProblemsToJson(std::span<const TGoodsProblem> problems)
{
    nlohmann::json out = nlohmann::json::array();
    for (const TGoodsProblem& problem : problems) {
        out.push_back({{"row", problem.Row + 1}, {"field", problem.Field}, {"message", problem.Message}});
    }
    return out;
}

}  // namespace zarvik12m::server
