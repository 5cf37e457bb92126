#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zarvik12m/zarvik12m.h"

// What a goods table must be for the register to give it back unchanged:
// a table written and read back is the same table, or it is refused before
// anything is sent. Shared by the C interface and every layer above it.
//
// The rules, field by field (an entry is a zarvik12m_goods_item):
// - code: 1..4000, each code once, and together the codes 1..N of an
//   N-entry table, in any order. A read stops at the first free code, so an
//   entry behind a gap would be written and never read back. A table holds
//   at most 4000 entries.
// - barcode: at most 13 characters, each a printable ASCII character or a
//   blank. The register right-aligns it in 13 characters and drops trailing
//   blanks: "123" reads back as ten blanks and "123".
// - price: whole money units 0..4294967295 (the wire field is 32 bits
//   unsigned, whole units); the C record holds units x 10000, so a price
//   with a fraction (45.50) is refused rather than rounded.
// - name: well-formed UTF-8 of at most 16 characters, trailing blanks not
//   counted (the register keeps none; they read back as nothing). Every
//   character must be one the register's character set gives back as it
//   was sent: printable ASCII, Ђ Ѓ ‚ ѓ „, Ё, ё and А..я. Control characters
//   are refused too (they break the table's files).
// - group: 0..255, which its type already ensures.
// - quantity: a finite number with at most three decimals, 0 to
//   4294967.295 (the wire field is thousandths, 32 bits unsigned).

namespace zarvik12m::goods_rules {

// One problem of a table: the entry (its index in the table), the field
// ("code", "barcode", "price", "name", "group", "quantity") and a message
// in UTF-8 that names both: "Товар 3, название: ...", the entry counted
// from 1.
struct TGoodsProblem {
    std::size_t Row = 0;
    std::string Field;
    std::string Message;

    friend bool operator==(const TGoodsProblem&, const TGoodsProblem&) = default;
};

inline constexpr std::uint64_t MaxPriceUnits = 4294967295U;
inline constexpr std::int64_t PriceScale = 10000;
inline constexpr std::uint64_t MaxQuantityThousandths = 4294967295U;
inline constexpr std::size_t MaxNameCharacters = 16;
inline constexpr std::size_t MaxBarcodeCharacters = 13;

// Every problem of the table, in entry order (a problem of the whole table,
// more than 4000 entries, comes first); empty when the table is sound.
std::vector<TGoodsProblem> CheckGoods(std::span<const zarvik12m_goods_item> items);

// Whether the register gives the Windows-1251 byte back as it was sent.
bool RegisterKeepsByte(std::uint8_t cp1251);

// Whether a name may hold the Windows-1251 byte: a printable character
// that the register gives back as it was sent.
bool NameKeepsByte(std::uint8_t cp1251);

// The Windows-1251 bytes of a checked name, without its trailing blanks;
// nothing when the name breaks its rule.
std::optional<std::string> RegisterName(std::string_view utf8);

// The checks of a call's line arguments: port 1..32, network number 1..99
// and a line speed of 50..4000000 bits per second (any rate a serial line
// can run; the device refuses one it cannot when the port is opened). The message of the first that fails, in UTF-8.
std::optional<std::string> CheckLine(std::uint8_t port, std::int32_t baud, std::uint8_t net);

}  // namespace zarvik12m::goods_rules
