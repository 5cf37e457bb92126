#pragma once

#include <cstdint>

#include "driver/platform/critical_section.h"

namespace zarvik12m {

// The source of an engine's command IDs; the object is its own lock, and
// Counter is read and written only while it is held.
class TIDGenerator : public TCriticalSection {
public:
    [[nodiscard]] std::uint32_t Counter() const noexcept { return FCounter; }
    void SetCounter(std::uint32_t counter) noexcept { FCounter = counter; }

private:
    std::uint32_t FCounter = 0;
};

}  // namespace zarvik12m
