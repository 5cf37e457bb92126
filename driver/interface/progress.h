#pragma once

#include <cstdint>

// Per-port progress of the goods operations, for COM ports 1..32. The
// values are atomics (relaxed): the operation's thread writes them while
// any other thread of the host reads them or asks for a stop. Port numbers
// without a slot are ignored: they read 0 and change nothing.

namespace zarvik12m {

inline constexpr std::uint8_t ProgressPortCount = 32;

// Position 0, maximum 0, stop request cleared.
void ResetProgress(std::uint8_t port) noexcept;

void SetProgressMax(std::uint8_t port, std::int32_t value) noexcept;

// Raises ecCancelled (and leaves the position as it is) when a stop has been
// requested for the port; otherwise adds the step to its position.
void StepProgress(std::uint8_t port, std::int32_t step);

std::int32_t ProgressPositionOf(std::uint8_t port) noexcept;
std::int32_t ProgressMaxOf(std::uint8_t port) noexcept;
void RequestProgressStop(std::uint8_t port) noexcept;

}  // namespace zarvik12m
