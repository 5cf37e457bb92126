#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "driver/platform/file.h"
#include "tools/emulator/line_clock.h"

// Sending to the line, shared by the emulator and the replay: bytes paced
// at a line's speed, and writes that wait for room until a deadline.

namespace zarvik12m::emulator {

// When each of count bytes that are ready to go at `ready` will have
// crossed the line the clock stands for; the clock counts them as sent.
std::vector<TClock::time_point> DueTimes(TLineClock& clock, std::size_t count, TClock::time_point ready);

// Sends bytes, each once it is due, those due together in one write:
// waitUntil waits for the next byte's time, write(offset, size) sends that
// slice of the bytes. False as soon as either returns false.
bool SendWhenDue(std::span<const TClock::time_point> due, const std::function<bool(TClock::time_point)>& waitUntil,
                 const std::function<bool(std::size_t offset, std::size_t size)>& write);

enum TWriteEnd : std::uint8_t {
    weWritten,   // every byte
    weFailed,    // the line failed: the system's error code in error
    weTimedOut,  // the deadline came with bytes left
    weStopped,   // waitForRoom said to stop
};

// Writes every byte to a non-blocking line by the deadline. While the line
// takes nothing, waitForRoom(deadline) waits for room; it returns false to
// stop.
TWriteEnd WriteAllBy(TNativeFile line, std::span<const std::uint8_t> bytes, TClock::time_point deadline,
                     const std::function<bool(TClock::time_point deadline)>& waitForRoom, int& error);

}  // namespace zarvik12m::emulator
