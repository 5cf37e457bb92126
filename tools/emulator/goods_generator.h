#pragma once

#include <cstddef>

#include "tools/emulator/goods_record.h"

namespace zarvik12m::emulator {

// A table of goods numbers 1..count (at most 4000) with Russian names,
// barcodes, prices, groups and quantities that vary from entry to entry.
// The same count always gives the same table.
TGoodsTable GenerateGoods(std::size_t count);

}  // namespace zarvik12m::emulator
