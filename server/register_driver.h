#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/job.h"
#include "server/register_setup.h"
#include "zarvik12m/zarvik12m.h"

namespace zarvik12m::server {

// The driver's operations as the service runs them, one call per job, on
// the line's own thread. Each returns the job's result, or the driver's
// failure in error.
struct TDriverOutcome {
    nlohmann::json Result;
    std::optional<TJobError> Error;
};

[[nodiscard]] TDriverOutcome RunDriverJob(const TRegisterSetup& setup, TJobKind kind,
                                          const std::vector<zarvik12m_goods_item>& goods);

// The progress of the operation running on a driver port: position and
// maximum.
void DriverProgress(std::uint8_t comNumber, std::int32_t& position, std::int32_t& maximum) noexcept;

// Asks the operation running on the port to stop before its next command.
void StopDriverOperation(std::uint8_t comNumber) noexcept;

}  // namespace zarvik12m::server
