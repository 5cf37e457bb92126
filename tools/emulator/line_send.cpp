#include "tools/emulator/line_send.h"

#include <cerrno>

#include "driver/platform/linux_support.h"

namespace zarvik12m::emulator {

std::vector<TClock::time_point> DueTimes(TLineClock& clock, std::size_t count, TClock::time_point ready)
{
    std::vector<TClock::time_point> due(count);
    for (auto& time : due) {
        time = clock.Carry(ready);
    }
    return due;
}

bool SendWhenDue(std::span<const TClock::time_point> due, const std::function<bool(TClock::time_point)>& waitUntil,
                 const std::function<bool(std::size_t offset, std::size_t size)>& write)
{
    std::size_t sent = 0;
    while (sent < due.size()) {
        const TClock::time_point now = TClock::now();
        std::size_t end = sent;
        while (end < due.size() && due[end] <= now) {
            ++end;
        }
        if (end == sent) {
            if (!waitUntil(due[sent])) {
                return false;
            }
            continue;
        }
        if (!write(sent, end - sent)) {
            return false;
        }
        sent = end;
    }
    return true;
}

TWriteEnd WriteAllBy(TNativeFile line, std::span<const std::uint8_t> bytes, TClock::time_point deadline,
                     const std::function<bool(TClock::time_point deadline)>& waitForRoom, int& error)
{
    error = 0;
    while (!bytes.empty()) {
        const std::size_t written = WriteAvailable(line, bytes, error);
        if (written > 0) {
            bytes = bytes.subspan(written);
            continue;
        }
        if (error != 0 && error != EAGAIN) {
            return weFailed;
        }
        if (TClock::now() >= deadline) {
            return weTimedOut;
        }
        if (!waitForRoom(deadline)) {
            return weStopped;
        }
    }
    return weWritten;
}

}  // namespace zarvik12m::emulator
