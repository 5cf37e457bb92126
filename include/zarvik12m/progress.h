#pragma once

#include <cstdint>

#include "zarvik12m/export.h"

// Progress and cancellation of the goods operations, one slot per COM port
// 1..32. For any other port number the readers return 0 and the stop
// request is ignored.

ZARVIK12M_EXPORT std::int32_t GetProgressPosition(std::uint8_t port) noexcept;
ZARVIK12M_EXPORT std::int32_t GetProgressMax(std::uint8_t port) noexcept;
ZARVIK12M_EXPORT void ProgressProcessStop(std::uint8_t port) noexcept;

using TGetProgressPosition = std::int32_t (*)(std::uint8_t port) noexcept;
using TGetProgressMax = std::int32_t (*)(std::uint8_t port) noexcept;
using TProgressProcessStop = void (*)(std::uint8_t port) noexcept;

inline constexpr const char* GetProgressPositionExportName = "GetProgressPosition";
inline constexpr const char* GetProgressMaxExportName = "GetProgressMax";
inline constexpr const char* ProgressProcessStopExportName = "ProgressProcessStop";
