#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "capi/goods_rules.h"
#include "zarvik12m/zarvik12m.h"

// A goods table in the files users keep it in, beside JSON: the CSV of the
// Python package's command line and the PLU file of Zarvik12mPLU.

namespace zarvik12m::server {

// A body that is not what its type says, with where: "строка 3: ...".
class EBadGoodsBody : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A table as a request gave it, and every problem that keeps the register
// from taking it (goods_json.h: those of the fields, then the rules').
struct TGoodsBody {
    std::vector<zarvik12m_goods_item> Goods;
    std::vector<goods_rules::TGoodsProblem> Problems;
};

// JSON: {"goods": [...]} or a bare array.
[[nodiscard]] TGoodsBody GoodsFromJsonText(std::string_view body);

// CSV with a header row naming code, barcode, price, name, group and
// quantity (in any order), ';' between fields, quoted as RFC 4180 says; rows
// of empty fields are skipped. charset: "utf-8", "windows-1251" (or
// "cp1251"), or empty: UTF-8 when the bytes are well-formed UTF-8, else
// Windows-1251. A UTF-8 byte-order mark is skipped.
[[nodiscard]] TGoodsBody GoodsFromCsv(std::string_view body, std::string_view charset);

// Zarvik12mPLU's file: a line per entry, six fields split as the utility
// splits them, blank lines skipped; Windows-1251 unless the charset says
// otherwise or, without one, the whole is well-formed UTF-8 beyond ASCII
// (as the utility decides).
[[nodiscard]] TGoodsBody GoodsFromPlu(std::string_view body, std::string_view charset);

// The CSV the Python package writes: UTF-8, header row, CR LF, bar codes
// without their aligning blanks.
[[nodiscard]] std::string GoodsToCsv(std::span<const zarvik12m_goods_item> goods);

// The bytes of the PLU file Zarvik12mPLU /l writes (Windows-1251). Throws
// EBadGoodsBody for an entry that file could not carry back (a field
// holding the separator).
[[nodiscard]] std::string GoodsToPlu(std::span<const zarvik12m_goods_item> goods);

}  // namespace zarvik12m::server
