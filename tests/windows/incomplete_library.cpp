// A zarvik12m.dll that lacks ClearGoods, for the utility's binding report.

#include "zarvik12m/exports.h"

ZARVIK12M_EXPORT std::int32_t GetProgressPosition(std::uint8_t /*port*/) noexcept
{
    return 0;
}
ZARVIK12M_EXPORT std::int32_t GetProgressMax(std::uint8_t /*port*/) noexcept
{
    return 0;
}
ZARVIK12M_EXPORT void ProgressProcessStop(std::uint8_t /*port*/) noexcept {}
ZARVIK12M_EXPORT void GetProperties(std::uint8_t /*port*/, std::int32_t /*baudRate*/, std::uint8_t /*netNumber*/,
                                    TZarvik12m_Properties& /*properties*/)
{}
ZARVIK12M_EXPORT void LoadGoods(std::uint8_t /*port*/, std::int32_t /*baudRate*/, std::uint8_t /*netNumber*/,
                                TZarvik12m_Goods& /*goods*/, std::uint16_t& count)
{
    count = 0;
}
ZARVIK12M_EXPORT void WriteGoods(std::uint8_t /*port*/, std::int32_t /*baudRate*/, std::uint8_t /*netNumber*/,
                                 const TZarvik12m_Goods& /*goods*/, std::uint16_t /*count*/)
{}
