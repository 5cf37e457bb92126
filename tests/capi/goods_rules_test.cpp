#include "capi/goods_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace zarvik12m::goods_rules {
namespace {

zarvik12m_goods_item Entry(std::uint16_t code, const char* name = "Чай")
{
    zarvik12m_goods_item item{};
    item.code = code;
    std::strcpy(item.barcode, "4600");
    item.price = 120000;
    std::strcpy(item.name, name);
    item.quantity = 1.25;
    return item;
}

std::vector<std::pair<std::size_t, std::string>> Places(const std::vector<TGoodsProblem>& problems)
{
    std::vector<std::pair<std::size_t, std::string>> places;
    for (const TGoodsProblem& problem : problems) {
        places.emplace_back(problem.Row, problem.Field);
    }
    return places;
}

TEST(GoodsRules, EveryProblemOfATableIsReportedWithItsEntryAndField)
{
    std::vector<zarvik12m_goods_item> table = {Entry(1), Entry(2), Entry(2), Entry(5), Entry(3)};
    table[1].price = 455000;  // 45.50
    table[1].quantity = -1;
    std::strcpy(table[4].name, "«Чай»");
    const std::vector<TGoodsProblem> problems = CheckGoods(table);
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {1, "price"}, {1, "quantity"}, {2, "code"}, {3, "code"}, {4, "name"}};
    EXPECT_EQ(Places(problems), expected);
    ASSERT_EQ(problems.size(), expected.size());
    EXPECT_EQ(problems[2].Message, "Товар 3, код: 2 уже у товара 2");
    EXPECT_EQ(problems[3].Message.rfind("Товар 4, код: 5 после пропуска: нет товара с кодом 4", 0), 0U);
    EXPECT_EQ(problems[4].Message, "Товар 5, название: касса не хранит символ ««» (U+00AB)");

    // The same entries in another order, without the faults: sound.
    const std::vector<zarvik12m_goods_item> sound = {Entry(3), Entry(1), Entry(2, "Хлеб бородинский    ")};
    EXPECT_TRUE(CheckGoods(sound).empty());
    EXPECT_TRUE(CheckGoods({}).empty());
}

TEST(GoodsRules, TheRegisterKeepsTheCharactersWhoseTwoTranslationsUndoEachOther)
{
    std::vector<int> kept;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (RegisterKeepsByte(static_cast<std::uint8_t>(byte))) {
            kept.push_back(byte);
        }
    }
    std::vector<int> expected = {0x80, 0x81, 0x82, 0x83, 0x84, 0xA8, 0xB8};
    for (int letter = 0xC0; letter <= 0xFF; ++letter) {
        expected.push_back(letter);
    }
    EXPECT_EQ(kept, expected);

    EXPECT_EQ(RegisterName("Ёлка  "), std::optional<std::string>("\xA8\xEB\xEA\xE0"));
    EXPECT_EQ(RegisterName("Чай №1"), std::nullopt);
    EXPECT_EQ(RegisterName("12345678901234567"), std::nullopt);
    EXPECT_EQ(RegisterName("1234567890123456 "), std::optional<std::string>("1234567890123456"));
}

}  // namespace
}  // namespace zarvik12m::goods_rules
