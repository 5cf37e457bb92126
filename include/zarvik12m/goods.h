#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The records that the library and its callers exchange. Both modules use
// one heap and one C++ runtime: the caller owns the goods array and the
// library resizes it in LoadGoods.

// A short string of at most N bytes: a length byte and N character bytes.
// It holds no pointers, so records holding it copy as plain memory.
template <std::size_t N>
struct TZarvik12m_ShortString {
    static_assert(N <= 255);

    std::uint8_t Length;
    char Chars[N];

    static constexpr std::size_t MaxLength = N;

    // The text; a length byte above N counts as N.
    [[nodiscard]] std::string_view View() const noexcept { return {Chars, std::min<std::size_t>(Length, N)}; }

    [[nodiscard]] std::string Str() const { return std::string(View()); }

    // Takes the first N bytes of the text; the rest of the room is zeroed.
    void Assign(std::string_view text) noexcept
    {
        const std::size_t length = std::min(text.size(), N);
        std::memset(Chars, 0, N);
        // An empty view may carry no pointer at all, which memcpy must not get.
        if (length != 0) {
            std::memcpy(Chars, text.data(), length);
        }
        Length = static_cast<std::uint8_t>(length);
    }

    static TZarvik12m_ShortString FromText(std::string_view text) noexcept
    {
        TZarvik12m_ShortString result{};
        result.Assign(text);
        return result;
    }

    friend bool operator==(const TZarvik12m_ShortString& a, const TZarvik12m_ShortString& b) noexcept
    {
        return a.View() == b.View();
    }
};

// The number of goods numbers the register's table holds (1..4000).
inline constexpr std::uint16_t MaxGoodsCount = 4000;

// One goods entry of the register's table.
struct TZarvik12m_GoodsItem {
    std::uint16_t Code;                  // goods number, 1..4000
    TZarvik12m_ShortString<13> Barcode;  // bar code text, carried unconverted
    std::int64_t Price;                  // money value x 10000
    TZarvik12m_ShortString<16> Name;     // Windows-1251 text
    std::uint8_t Group;                  // kept with the entry, passed through
    double Quantity;                     // three decimals on the wire

    friend bool operator==(const TZarvik12m_GoodsItem&, const TZarvik12m_GoodsItem&) = default;
};

static_assert(std::is_trivially_copyable_v<TZarvik12m_GoodsItem>);

using TZarvik12m_Goods = std::vector<TZarvik12m_GoodsItem>;

struct TZarvik12m_Properties {
    std::string DeviceName;                   // always "Зарвик-12М" (Windows-1251)
    TZarvik12m_ShortString<13> SerialNumber;  // the register's factory number
    std::uint16_t MaxGoods;                   // always 4000
};
