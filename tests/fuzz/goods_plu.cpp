// The service's PLU file body: arbitrary bytes under each charset.
//
// Input: byte 0 picks the charset (none, utf-8, windows-1251); the rest is
// the body.
//
// Properties:
// - nothing crashes; a body is refused as malformed or gives a table and
//   its problems;
// - a table without problems is one the C interface's rules take, and the
//   file the service writes of it (unless it refuses an entry that holds
//   the separator) reads back to the same table, whatever charset the
//   reading assumes of a file without letters beyond ASCII.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/goods_formats.h"
#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/goods_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m::server;
    if (size == 0) {
        return 0;
    }
    constexpr std::array<std::string_view, 3> Charsets = {"", "utf-8", "windows-1251"};
    const std::string_view charset = Charsets[data[0] % Charsets.size()];
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    TGoodsBody parsed;
    try {
        parsed = GoodsFromPlu(body, charset);
    } catch (const EBadGoodsBody&) {
        return 0;
    }
    if (!parsed.Problems.empty()) {
        return 0;
    }
    ZARVIK12M_FUZZ_CHECK(parsed.Goods.size() <= ZARVIK12M_MAX_GOODS);
    ZARVIK12M_FUZZ_CHECK(zarvik12m::goods_rules::CheckGoods(parsed.Goods).empty());
    std::string file;
    try {
        file = GoodsToPlu(parsed.Goods);
    } catch (const EBadGoodsBody&) {
        return 0;
    }
    const TGoodsBody again = GoodsFromPlu(file, "windows-1251");
    ZARVIK12M_FUZZ_CHECK(again.Problems.empty());
    ZARVIK12M_FUZZ_CHECK(zarvik12m::fuzz::SameTable(parsed.Goods, again.Goods));
    return 0;
}
