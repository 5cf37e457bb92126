#include "capi/goods_rules.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"

namespace zarvik12m::goods_rules {

namespace {

constexpr std::size_t PortCount = 32;
constexpr std::uint8_t MaxNetNumber = 99;

// The line speeds asked of a device: any rate a serial line can run, the
// non-standard ones too (a device that cannot run one refuses it when the
// port is opened, before anything is sent).
constexpr std::int32_t MinLineRate = 50;
constexpr std::int32_t MaxLineRate = 4000000;

// The text of a NUL-terminated field, or nothing when the field has no NUL.
std::optional<std::string_view> FieldText(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, 0, size);
    if (end == nullptr) {
        return std::nullopt;
    }
    return std::string_view(field, static_cast<std::size_t>(static_cast<const char*>(end) - field));
}

std::string CodePointText(char32_t codePoint)
{
    std::array<char, 16> text{};
    static_cast<void>(std::snprintf(text.data(), text.size(), "U+%04X", static_cast<unsigned>(codePoint)));
    return text.data();
}

// The character at a UTF-8 position, for a message: the character itself
// when it is printable, with its code point.
std::string CharacterText(std::string_view utf8, const TUtf8Sequence& sequence, std::size_t position)
{
    std::string code = CodePointText(sequence.CodePoint);
    if (sequence.CodePoint < 0x20 || sequence.CodePoint == 0x7F ||
        (sequence.CodePoint >= 0x80 && sequence.CodePoint < 0xA0)) {
        return code;
    }
    return "«" + std::string(utf8.substr(position, sequence.Length)) + "» (" + code + ")";
}

bool Printable(std::uint8_t cp1251)
{
    return cp1251 >= 0x20 && cp1251 != 0x7F;
}

class TChecker {
public:
    explicit TChecker(std::vector<TGoodsProblem>& problems) : FProblems(problems) {}

    void Add(std::size_t row, const char* field, const char* label, const std::string& what)
    {
        FProblems.push_back({row, field, "Товар " + std::to_string(row + 1) + ", " + label + ": " + what});
    }

    void Barcode(std::size_t row, const zarvik12m_goods_item& item)
    {
        const std::optional<std::string_view> text = FieldText(item.barcode, sizeof item.barcode);
        if (!text) {
            Add(row, "barcode", "штрихкод", "нет завершающего нуля (больше 13 символов)");
            return;
        }
        for (const char c : *text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte >= 0x7F) {
                Add(row, "barcode", "штрихкод",
                    "допустимы только цифры, латинские буквы, знаки и пробел, а не байт " +
                        CodePointText(byte).substr(2));
                return;
            }
        }
    }

    void Price(std::size_t row, const zarvik12m_goods_item& item)
    {
        if (item.price < 0 || static_cast<std::uint64_t>(item.price / PriceScale) > MaxPriceUnits) {
            Add(row, "price", "цена", "вне 0..4294967295");
        } else if (item.price % PriceScale != 0) {
            Add(row, "price", "цена", "касса хранит цену в целых единицах, дробная часть была бы округлена");
        }
    }

    void Name(std::size_t row, const zarvik12m_goods_item& item)
    {
        const std::optional<std::string_view> text = FieldText(item.name, sizeof item.name);
        if (!text) {
            Add(row, "name", "название", "нет завершающего нуля");
            return;
        }
        std::size_t characters = 0;
        std::size_t significant = 0;  // the characters up to the last that is not a blank
        for (std::size_t i = 0; i < text->size();) {
            const TUtf8Sequence sequence = DecodeUtf8(*text, i);
            if (sequence.Length == 0) {
                Add(row, "name", "название", "не текст UTF-8");
                return;
            }
            const int byte = Cp1251ByteOf(sequence.CodePoint);
            if (byte < 0 || !NameKeepsByte(static_cast<std::uint8_t>(byte))) {
                Add(row, "name", "название", "касса не хранит символ " + CharacterText(*text, sequence, i));
                return;
            }
            ++characters;
            if (sequence.CodePoint != U' ') {
                significant = characters;
            }
            i += sequence.Length;
        }
        if (significant > MaxNameCharacters) {
            Add(row, "name", "название", "длиннее 16 символов (" + std::to_string(significant) + ")");
        }
    }

    void Quantity(std::size_t row, const zarvik12m_goods_item& item)
    {
        const double value = item.quantity;
        if (!std::isfinite(value) || value < 0 || value * 1000 > static_cast<double>(MaxQuantityThousandths) + 0.5) {
            Add(row, "quantity", "количество", "вне 0..4294967.295");
            return;
        }
        // The wire holds thousandths: the value must be the one its
        // thousandths give back.
        if (std::nearbyint(value * 1000) / 1000 != value) {
            Add(row, "quantity", "количество", "больше трёх знаков после запятой");
        }
    }

private:
    std::vector<TGoodsProblem>& FProblems;
};

}  // namespace

bool RegisterKeepsByte(std::uint8_t cp1251)
{
    return CharDosWin(CharWinDos(cp1251)) == cp1251;
}

bool NameKeepsByte(std::uint8_t cp1251)
{
    return Printable(cp1251) && RegisterKeepsByte(cp1251);
}

std::optional<std::string> RegisterName(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const TUtf8Sequence sequence = DecodeUtf8(utf8, i);
        const int byte = sequence.Length == 0 ? -1 : Cp1251ByteOf(sequence.CodePoint);
        if (byte < 0 || !NameKeepsByte(static_cast<std::uint8_t>(byte))) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(byte));
        i += sequence.Length;
    }
    out.erase(out.find_last_not_of(' ') + 1);
    if (out.size() > MaxNameCharacters) {
        return std::nullopt;
    }
    return out;
}

std::vector<TGoodsProblem> CheckGoods(std::span<const zarvik12m_goods_item> items)
{
    std::vector<TGoodsProblem> problems;
    TChecker checker(problems);
    if (items.size() > ZARVIK12M_MAX_GOODS) {
        checker.Add(ZARVIK12M_MAX_GOODS, "code", "код",
                    "в таблице " + std::to_string(items.size()) + " товаров, касса хранит не больше 4000");
    }
    // Where each code is first used, to find the second use and the gaps.
    std::vector<std::size_t> firstRow(ZARVIK12M_MAX_GOODS + 1, items.size());
    for (std::size_t row = 0; row < items.size(); ++row) {
        const std::uint16_t code = items[row].code;
        if (code >= 1 && code <= ZARVIK12M_MAX_GOODS && firstRow[code] == items.size()) {
            firstRow[code] = row;
        }
    }
    // The first free code: every entry above it would not be read back.
    std::size_t firstFree = 1;
    while (firstFree <= ZARVIK12M_MAX_GOODS && firstRow[firstFree] != items.size()) {
        ++firstFree;
    }
    for (std::size_t row = 0; row < items.size(); ++row) {
        const zarvik12m_goods_item& item = items[row];
        if (item.code < 1 || item.code > ZARVIK12M_MAX_GOODS) {
            checker.Add(row, "code", "код", std::to_string(item.code) + " вне 1..4000");
        } else if (firstRow[item.code] != row) {
            checker.Add(row, "code", "код",
                        std::to_string(item.code) + " уже у товара " + std::to_string(firstRow[item.code] + 1));
        } else if (item.code > firstFree) {
            checker.Add(row, "code", "код",
                        std::to_string(item.code) + " после пропуска: нет товара с кодом " + std::to_string(firstFree) +
                            ", а чтение таблицы останавливается на первом свободном коде");
        }
        checker.Barcode(row, item);
        checker.Price(row, item);
        checker.Name(row, item);
        checker.Quantity(row, item);
    }
    return problems;
}

std::optional<std::string> CheckLine(std::uint8_t port, std::int32_t baud, std::uint8_t net)
{
    if (port < 1 || port > PortCount) {
        return "Номер порта " + std::to_string(port) + " вне 1..32";
    }
    if (net < 1 || net > MaxNetNumber) {
        return "Сетевой номер ККМ " + std::to_string(net) + " вне 1..99";
    }
    if (baud < MinLineRate || baud > MaxLineRate) {
        return "Скорость " + std::to_string(baud) + " вне " + std::to_string(MinLineRate) + ".." +
               std::to_string(MaxLineRate);
    }
    return std::nullopt;
}

}  // namespace zarvik12m::goods_rules
