#include "server/register_driver.h"

#include <cstring>

#include "server/goods_json.h"

namespace zarvik12m::server {

namespace {

TDriverOutcome Failure(const zarvik12m_error& error)
{
    return {nullptr, TJobError{error.code, std::string(error.message, strnlen(error.message, sizeof error.message))}};
}

}  // namespace

TDriverOutcome RunDriverJob(const TRegisterSetup& setup, TJobKind kind, const std::vector<zarvik12m_goods_item>& goods)
{
    zarvik12m_error error{};
    const std::uint8_t port = setup.ComNumber;
    switch (kind) {
    case TJobKind::Read: {
        std::vector<zarvik12m_goods_item> table(ZARVIK12M_MAX_GOODS);
        std::uint16_t count = 0;
        if (zarvik12m_load_goods(port, setup.Baud, setup.Net, table.data(), table.size(), &count, &error) != 0) {
            return Failure(error);
        }
        table.resize(count);
        return {{{"goods", GoodsToJson(table)}}, std::nullopt};
    }
    case TJobKind::Write:
        if (zarvik12m_write_goods(port, setup.Baud, setup.Net, goods.data(), static_cast<std::uint16_t>(goods.size()),
                                  &error) != 0) {
            return Failure(error);
        }
        return {{{"written", goods.size()}}, std::nullopt};
    case TJobKind::Clear:
        if (zarvik12m_clear_goods(port, setup.Baud, setup.Net, &error) != 0) {
            return Failure(error);
        }
        return {nlohmann::json::object(), std::nullopt};
    case TJobKind::Properties: {
        zarvik12m_properties properties{};
        if (zarvik12m_get_properties(port, setup.Baud, setup.Net, &properties, &error) != 0) {
            return Failure(error);
        }
        return {{{"deviceName",
                  std::string(properties.device_name, strnlen(properties.device_name, sizeof properties.device_name))},
                 {"serialNumber", std::string(properties.serial_number,
                                              strnlen(properties.serial_number, sizeof properties.serial_number))},
                 {"maxGoods", properties.max_goods}},
                std::nullopt};
    }
    }
    return {nullptr, TJobError{ZARVIK12M_ERROR_OTHER, "unknown job kind"}};
}

void DriverProgress(std::uint8_t comNumber, std::int32_t& position, std::int32_t& maximum) noexcept
{
    position = zarvik12m_progress_position(comNumber);
    maximum = zarvik12m_progress_max(comNumber);
}

void StopDriverOperation(std::uint8_t comNumber) noexcept
{
    zarvik12m_progress_stop(comNumber);
}

}  // namespace zarvik12m::server
