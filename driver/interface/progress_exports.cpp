// The progress exports of libzarvik12m.so.

#include "driver/interface/progress.h"
#include "zarvik12m/progress.h"

std::int32_t GetProgressPosition(std::uint8_t port) noexcept
{
    return zarvik12m::ProgressPositionOf(port);
}

std::int32_t GetProgressMax(std::uint8_t port) noexcept
{
    return zarvik12m::ProgressMaxOf(port);
}

void ProgressProcessStop(std::uint8_t port) noexcept
{
    zarvik12m::RequestProgressStop(port);
}
