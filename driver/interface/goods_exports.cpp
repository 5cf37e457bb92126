// The goods exports of libzarvik12m.so: reading, writing and clearing the
// register's goods table.

#include <stdexcept>
#include <string>

#include "driver/common/cp1251.h"
#include "driver/interface/export_session.h"
#include "zarvik12m/exports.h"

namespace zarvik12m {

namespace {

// On every way out of LoadGoods the array is cut to the entries read so
// far, so that its length always tells the caller how many are valid.
// Declared after the session, it runs before the engine goes.
class TGoodsCut {
public:
    TGoodsCut(TZarvik12m_Goods& goods, const std::uint16_t& count) noexcept : FGoods(goods), FCount(count) {}
    ~TGoodsCut() { FGoods.resize(FCount); }

    TGoodsCut(const TGoodsCut&) = delete;
    TGoodsCut& operator=(const TGoodsCut&) = delete;

private:
    TZarvik12m_Goods& FGoods;
    const std::uint16_t& FCount;
};

TZarvik12m_GoodsItem GoodsItemOf(std::uint16_t code, const TRX_READ_TOV_DataIn& found)
{
    TZarvik12m_GoodsItem item{};
    item.Code = code;
    item.Barcode = found.Barcode;
    item.Price = found.Price;
    item.Name = found.Name;
    item.Group = found.Group;
    item.Quantity = found.Quantity;
    return item;
}

// Reads goods number `code`: true and the entry filled when the register
// holds it, false when it answers that it has no such goods.
bool ReadGoods(TExportSession& session, std::uint16_t code, TZarvik12m_GoodsItem& item)
{
    const TCommandData request{std::in_place_type<TTX_READ_TOV_DataIn>, TTX_READ_TOV_DataIn{{code}}};
    const TAnswer answer = session.Execute(ReadGoodsCommand, &request);
    if (answer.Number == CommandNumberOf<TRX_READ_TOV_ERROR_DataIn>) {
        const std::uint8_t status = DataAs<TRX_READ_TOV_ERROR_DataIn>(answer.Data).Result;
        if (status == ecNoSuchGoods) {
            return false;
        }
        // An error answer that reports success brings no goods either: the
        // read did not do what it was sent for.
        if (status == ecSuccess) {
            session.RaiseCommandFailed();
        }
        RaiseStatus(status);
    }
    item = GoodsItemOf(code, session.Expect<TRX_READ_TOV_DataIn>(answer));
    return true;
}

// The caller's count must lie within the array; checked before anything
// else happens, so that a bad call neither reads past the array nor sends
// a part of it.
void CheckWriteCount(const TZarvik12m_Goods& goods, std::uint16_t count)
{
    if (count > goods.size()) {
        throw std::out_of_range(std::string("WriteGoods: количество товаров "_cp1251) + std::to_string(count) +
                                std::string(" больше длины массива "_cp1251) + std::to_string(goods.size()));
    }
}

}  // namespace

}  // namespace zarvik12m

using namespace zarvik12m;

void LoadGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Goods& goods,
               std::uint16_t& count)
{
    BeginProgress(port, MaxGoodsCount);
    count = 0;
    goods.assign(MaxGoodsCount, TZarvik12m_GoodsItem{});
    // An engine that cannot be made leaves the array as sized above; from
    // the engine on, every way out cuts it to the entries read.
    TExportSession session(port, netNumber);
    const TGoodsCut cut(goods, count);
    session.Start(baudRate);
    // The table ends at the first goods number the register does not hold.
    while (count < MaxGoodsCount && ReadGoods(session, static_cast<std::uint16_t>(count + 1), goods[count])) {
        ++count;
    }
}

void WriteGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, const TZarvik12m_Goods& goods,
                std::uint16_t count)
{
    CheckWriteCount(goods, count);
    BeginProgress(port, MaxGoodsCount);
    TExportSession session(port, netNumber);
    session.Start(baudRate);
    for (std::uint16_t k = 0; k < count; ++k) {
        const TCommandData request{std::in_place_type<TZarvik12m_GoodsItem>, goods[k]};
        session.ExecuteForStatus<TRX_WRITE_TOV_DataIn>(WriteGoodsCommand, &request);
    }
}

void ClearGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber)
{
    BeginProgress(port, 1);
    TExportSession session(port, netNumber);
    session.Start(baudRate);
    session.ExecuteForStatus<TRX_CLEAR_TOV_DataIn>(ClearGoodsCommand);
}
