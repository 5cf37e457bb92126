// The service's CSV goods body: arbitrary bytes under each charset.
//
// Input: byte 0 picks the charset (none, utf-8, windows-1251, another);
// the rest is the body.
//
// Properties:
// - nothing crashes; a body is refused as malformed or gives a table and
//   its problems;
// - a table without problems is one the C interface's rules take, and the
//   CSV the service writes of it reads back to the same table.

#include <array>
#include <cstddef>
#include <cstdint>
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
    constexpr std::array<std::string_view, 4> Charsets = {"", "utf-8", "windows-1251", "koi8-r"};
    const std::string_view charset = Charsets[data[0] % Charsets.size()];
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    TGoodsBody parsed;
    try {
        parsed = GoodsFromCsv(body, charset);
    } catch (const EBadGoodsBody&) {
        return 0;
    }
    ZARVIK12M_FUZZ_CHECK(charset != "koi8-r");
    if (!parsed.Problems.empty()) {
        return 0;
    }
    ZARVIK12M_FUZZ_CHECK(zarvik12m::goods_rules::CheckGoods(parsed.Goods).empty());
    const TGoodsBody again = GoodsFromCsv(GoodsToCsv(parsed.Goods), "utf-8");
    ZARVIK12M_FUZZ_CHECK(again.Problems.empty());
    ZARVIK12M_FUZZ_CHECK(zarvik12m::fuzz::SameTable(parsed.Goods, again.Goods));
    return 0;
}
