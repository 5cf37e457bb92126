#pragma once

#include <cstdint>

#include "zarvik12m/error.h"
#include "zarvik12m/export.h"
#include "zarvik12m/goods.h"
#include "zarvik12m/progress.h"

// The goods and properties exports of the library. Each opens the COM
// port, runs its commands against the register with the given network
// number and closes the port again; failures leave as EZarvik12mError.
// Port numbers 1..32 have progress slots (GetProgressPosition and friends).

// Reads the register's goods table, goods numbers 1, 2, ... up to the first
// number the register does not hold. On return, also after an error, the
// array holds exactly count entries.
ZARVIK12M_EXPORT void LoadGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                                TZarvik12m_Goods& goods, std::uint16_t& count);

// Writes entries 0 .. count - 1 of the array into the register.
ZARVIK12M_EXPORT void WriteGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                                 const TZarvik12m_Goods& goods, std::uint16_t count);

// Deletes the register's goods table.
ZARVIK12M_EXPORT void ClearGoods(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber);

// Fills the record with the device's name, factory number and table size.
ZARVIK12M_EXPORT void GetProperties(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                                    TZarvik12m_Properties& properties);

using TLoadGoods = void (*)(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber, TZarvik12m_Goods& goods,
                            std::uint16_t& count);
using TWriteGoods = void (*)(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                             const TZarvik12m_Goods& goods, std::uint16_t count);
using TClearGoods = void (*)(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber);
using TGetProperties = void (*)(std::uint8_t port, std::int32_t baudRate, std::uint8_t netNumber,
                                TZarvik12m_Properties& properties);

inline constexpr const char* LoadGoodsExportName = "LoadGoods";
inline constexpr const char* WriteGoodsExportName = "WriteGoods";
inline constexpr const char* ClearGoodsExportName = "ClearGoods";
inline constexpr const char* GetPropertiesExportName = "GetProperties";

// The file name under which callers load the library (export.h).
inline constexpr const char* Zarvik12mLibraryFileName = ZARVIK12M_LIBRARY_FILE_NAME;
