#include "tools/emulator/paced_send.h"

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

}  // namespace zarvik12m::emulator
