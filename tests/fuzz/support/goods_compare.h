#pragma once

#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "server/goods_json.h"
#include "zarvik12m/zarvik12m.h"

namespace zarvik12m::fuzz {

// An entry's fields as a file carries them back: the bar code without the
// blanks that align it, the name without trailing blanks (the register keeps
// neither), the quantity as its three decimals.
inline std::string FiledEntry(const zarvik12m_goods_item& item)
{
    std::string_view barcode(item.barcode, strnlen(item.barcode, sizeof item.barcode));
    barcode.remove_prefix(std::min(barcode.find_first_not_of(' '), barcode.size()));
    std::string_view name(item.name, strnlen(item.name, sizeof item.name));
    name = name.substr(0, name.find_last_not_of(' ') + 1);
    return std::to_string(item.code) + '|' + std::string(barcode) + '|' + std::to_string(item.price) + '|' +
           std::string(name) + '|' + std::to_string(item.group) + '|' + server::QuantityText(item.quantity);
}

inline bool SameTable(std::span<const zarvik12m_goods_item> a, std::span<const zarvik12m_goods_item> b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FiledEntry(a[i]) != FiledEntry(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace zarvik12m::fuzz
