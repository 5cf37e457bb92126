#pragma once

#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "capi/goods_rules.h"
#include "zarvik12m/zarvik12m.h"

namespace zarvik12m::server {

// A goods entry as JSON: {"code": 1, "barcode": "4607010079192", "price":
// "52.00", "name": "Хлеб Бородинский", "group": 1, "quantity": "24.000"}.
// Prices and quantities are exact decimal strings; on input numbers are
// taken too.
[[nodiscard]] nlohmann::json GoodsToJson(std::span<const zarvik12m_goods_item> goods);

// The table of {"goods": [...]} (or a bare array) as C records, and every
// problem found: first those of the JSON itself (a field missing, of the
// wrong type, not a decimal), then those of the table's rules.
[[nodiscard]] std::vector<zarvik12m_goods_item> GoodsFromJson(const nlohmann::json& body,
                                                              std::vector<goods_rules::TGoodsProblem>& problems);

// "52.00" for a price in units x 10000 (four decimals when it has them).
[[nodiscard]] std::string PriceText(std::int64_t price);

// "24.000".
[[nodiscard]] std::string QuantityText(double quantity);

// The problems as the API lists them: [{"row", "field", "message"}], the
// row counted from 1.
[[nodiscard]] nlohmann::json ProblemsToJson(std::span<const goods_rules::TGoodsProblem> problems);

}  // namespace zarvik12m::server
