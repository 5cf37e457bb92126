#include "driver/port/read_queue.h"

#include <cstring>

#include "driver/common/errors.h"
#include "driver/port/com_port.h"

namespace zarvik12m {

namespace {

std::int64_t Argument(std::size_t value)
{
    return static_cast<std::int64_t>(value);
}

}  // namespace

TReadQueue::TReadQueue(const TCOMPort& port) : FPort(port) {}

void TReadQueue::Put(const std::uint8_t* data, std::size_t count)
{
    const std::size_t freeBytes = Capacity - FCount;
    if (count > freeBytes) {
        RaiseError(ecInputQueuePut, {std::int64_t{FPort.PortNumber()}, Argument(count), Argument(freeBytes)});
    }
    if (count != 0) {
        std::memcpy(FQueueData.data() + FCount, data, count);
        FCount = static_cast<std::uint16_t>(FCount + count);
    }
    FDataEvent.SetEvent();
}

void TReadQueue::Peek(std::uint8_t* destination, std::size_t count) const
{
    if (count > Capacity) {
        RaiseError(ecInputQueuePeekCapacity, {std::int64_t{FPort.PortNumber()}, Argument(count), Argument(Capacity)});
    }
    if (count > FCount) {
        RaiseError(ecInputQueuePeekCount, {std::int64_t{FPort.PortNumber()}, Argument(FCount), Argument(count)});
    }
    if (count != 0) {
        std::memcpy(destination, FQueueData.data(), count);
    }
}

void TReadQueue::Remove(std::size_t count)
{
    if (count > Capacity) {
        RaiseError(ecInputQueueRemoveCapacity, {std::int64_t{FPort.PortNumber()}, Argument(count), Argument(Capacity)});
    }
    if (count > FCount) {
        RaiseError(ecInputQueueRemoveCount, {std::int64_t{FPort.PortNumber()}, Argument(FCount), Argument(count)});
    }
    if (count != 0) {
        std::memmove(FQueueData.data(), FQueueData.data() + count, FCount - count);
        FCount = static_cast<std::uint16_t>(FCount - count);
        FRemovedTotal += count;
    }
}

}  // namespace zarvik12m
