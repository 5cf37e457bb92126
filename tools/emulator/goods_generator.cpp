#include "tools/emulator/goods_generator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/common/cp1251.h"

namespace zarvik12m::emulator {

namespace {

using namespace zarvik12m::literals;

constexpr std::array Products = {
    "Хлеб"_cp1251,     "Батон"_cp1251,   "Молоко"_cp1251,   "Кефир"_cp1251,    "Сметана"_cp1251,   "Творог"_cp1251,
    "Сыр"_cp1251,      "Масло"_cp1251,   "Чай"_cp1251,      "Кофе"_cp1251,     "Сахар"_cp1251,     "Соль"_cp1251,
    "Рис"_cp1251,      "Гречка"_cp1251,  "Макароны"_cp1251, "Мука"_cp1251,     "Яйца"_cp1251,      "Мёд"_cp1251,
    "Сок"_cp1251,      "Вода"_cp1251,    "Печенье"_cp1251,  "Конфеты"_cp1251,  "Колбаса"_cp1251,   "Сосиски"_cp1251,
    "Пельмени"_cp1251, "Яблоки"_cp1251,  "Груши"_cp1251,    "Бананы"_cp1251,   "Картофель"_cp1251, "Морковь"_cp1251,
    "Лук"_cp1251,      "Капуста"_cp1251, "Ёрш"_cp1251,      "Сельдь"_cp1251,   "Шоколад"_cp1251,   "Пряники"_cp1251,
    "Йогурт"_cp1251,   "Ряженка"_cp1251, "Горошек"_cp1251,  "Кукуруза"_cp1251,
};

constexpr std::array Qualifiers = {
    "1 кг"_cp1251,  "0,5 кг"_cp1251, "вес."_cp1251,  "фас."_cp1251,  "экстра"_cp1251, "люкс"_cp1251,  "эконом"_cp1251,
    "1 л"_cp1251,   "0,9 л"_cp1251,  "400 г"_cp1251, "900 г"_cp1251, "№1"_cp1251,     "мини"_cp1251,  "отборн."_cp1251,
    "упак."_cp1251, "шт."_cp1251,    "Элит"_cp1251,  "Особ."_cp1251, "ГОСТ"_cp1251,   "200 г"_cp1251,
};

// A small linear congruential sequence: varied values, the same on every
// run.
class TSequence {
public:
    std::uint32_t Next(std::uint32_t limit)
    {
        FState = FState * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((FState >> 33U) % limit);
    }

private:
    std::uint64_t FState = 12;
};

// An EAN-13 code: twelve digits and their check digit.
std::string Barcode(std::uint32_t number)
{
    std::string digits = "460";
    const std::string tail = std::to_string(1000000000ULL + number).substr(1);  // nine digits
    digits += tail;
    unsigned sum = 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        sum += static_cast<unsigned>(digits[i] - '0') * (i % 2 == 0 ? 1U : 3U);
    }
    digits.push_back(static_cast<char>('0' + (10U - sum % 10U) % 10U));
    return digits;
}

}  // namespace

TGoodsTable GenerateGoods(std::size_t count)
{
    TGoodsTable goods;
    TSequence sequence;
    count = std::min<std::size_t>(count, MaxGoodsNumber);
    for (std::size_t i = 0; i < count; ++i) {
        const auto number = static_cast<std::uint16_t>(i + 1);
        std::string name(Products[i % Products.size()]);
        name += ' ';
        name += Qualifiers[(i / Products.size() + i) % Qualifiers.size()];
        TGoodsRecord record;
        record.Barcode = Barcode(number * 7919U % 1000000000U);
        record.Price = 10 + sequence.Next(2990);
        record.Name = name;
        record.Group = static_cast<std::uint8_t>(1 + sequence.Next(16));
        record.Quantity = sequence.Next(500000);
        goods.emplace(number, Normalised(record));
    }
    return goods;
}

}  // namespace zarvik12m::emulator
