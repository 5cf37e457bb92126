#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "tools/emulator/line_clock.h"

namespace zarvik12m::emulator {

// When each of count bytes that are ready to go at `ready` will have
// crossed the line the clock stands for; the clock counts them as sent.
std::vector<TClock::time_point> DueTimes(TLineClock& clock, std::size_t count, TClock::time_point ready);

// Sends bytes, each once it is due, those due together in one write:
// waitUntil waits for the next byte's time, write(offset, size) sends that
// slice of the bytes. False as soon as either returns false.
bool SendWhenDue(std::span<const TClock::time_point> due, const std::function<bool(TClock::time_point)>& waitUntil,
                 const std::function<bool(std::size_t offset, std::size_t size)>& write);

}  // namespace zarvik12m::emulator
