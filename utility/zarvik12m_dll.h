#pragma once

#include <cstdint>
#include <string>

#include "driver/platform/dynamic_library.h"
#include "zarvik12m/exports.h"

// The utility's binding to the driver library: the library loaded at run
// time by file name and its seven exports bound by name. Every call from
// the utility into the library goes through this object.
//
// Exceptions thrown inside the library (EZarvik12mError and whatever else)
// keep their type's code in the library: every such exception object must
// be destroyed before this object unloads it.

namespace zarvik12m {

class TZarvik12mDll {
public:
    // Loads the library by its bare file name (the system's search order
    // applies) and binds the exports. Raises std::runtime_error with "Не
    // могу загрузить <file>" when the library cannot be loaded and "Ошибка
    // загрузки <file>" when an export is missing; the library is then
    // unloaded again.
    explicit TZarvik12mDll(const std::string& fileName);

    // Unloads the library.
    ~TZarvik12mDll() = default;

    TZarvik12mDll(const TZarvik12mDll&) = delete;
    TZarvik12mDll& operator=(const TZarvik12mDll&) = delete;

    std::int32_t GetProgressPosition(std::uint8_t port) const noexcept { return FGetProgressPosition(port); }
    std::int32_t GetProgressMax(std::uint8_t port) const noexcept { return FGetProgressMax(port); }
    void ProgressProcessStop(std::uint8_t port) const noexcept { FProgressProcessStop(port); }

    void GetProperties(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                       TZarvik12m_Properties& properties) const
    {
        FGetProperties(port, baudRate, netNumber, properties);
    }

    void LoadGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Goods& goods,
                   std::uint16_t& count) const
    {
        FLoadGoods(port, baudRate, netNumber, goods, count);
    }

    void WriteGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, const TZarvik12m_Goods& goods,
                    std::uint16_t count) const
    {
        FWriteGoods(port, baudRate, netNumber, goods, count);
    }

    void ClearGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber) const
    {
        FClearGoods(port, baudRate, netNumber);
    }

private:
    TDynamicLibrary FHandle;
    TGetProgressPosition FGetProgressPosition = nullptr;
    TGetProgressMax FGetProgressMax = nullptr;
    TProgressProcessStop FProgressProcessStop = nullptr;
    TGetProperties FGetProperties = nullptr;
    TLoadGoods FLoadGoods = nullptr;
    TWriteGoods FWriteGoods = nullptr;
    TClearGoods FClearGoods = nullptr;
};

}  // namespace zarvik12m
