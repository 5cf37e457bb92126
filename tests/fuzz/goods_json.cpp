// The service's JSON goods body: arbitrary bytes as a PUT body.
//
// Properties:
// - nothing crashes; a body is refused as malformed or gives a table and
//   its problems;
// - a table without problems is one the C interface's rules take, of at
//   most 4000 entries, and its JSON as the service answers it reads back
//   to the same table, without problems.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/goods_formats.h"
#include "server/goods_json.h"
#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/goods_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m::server;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    TGoodsBody parsed;
    try {
        parsed = GoodsFromJsonText(body);
    } catch (const EBadGoodsBody&) {
        return 0;
    }
    if (!parsed.Problems.empty()) {
        return 0;
    }
    ZARVIK12M_FUZZ_CHECK(parsed.Goods.size() <= ZARVIK12M_MAX_GOODS);
    ZARVIK12M_FUZZ_CHECK(zarvik12m::goods_rules::CheckGoods(parsed.Goods).empty());
    const TGoodsBody again = GoodsFromJsonText(GoodsToJson(parsed.Goods).dump());
    ZARVIK12M_FUZZ_CHECK(again.Problems.empty());
    ZARVIK12M_FUZZ_CHECK(zarvik12m::fuzz::SameTable(parsed.Goods, again.Goods));
    return 0;
}
