#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "driver/platform/critical_section.h"
#include "driver/platform/event.h"

namespace zarvik12m {

class TCOMPort;

// The bytes a port has received and the protocol has not yet used, oldest
// first and always starting at index 0. The read thread appends, the
// receive thread copies from the front and removes what it has used.
//
// The queue is its own lock: callers hold it around every call and every
// look at Count(). DataEvent() (auto-reset) is set by every Put, inside the
// lock, after Count() has grown.
class TReadQueue : public TCriticalSection {
public:
    static constexpr std::size_t Capacity = 16384;

    // port names the queue's errors; the queue does not own it.
    explicit TReadQueue(const TCOMPort& port);

    // Appends count bytes and sets DataEvent. Raises ecInputQueuePut (count, free bytes)
    // when they do not fit; the queue is then unchanged.
    void Put(const std::uint8_t* data, std::size_t count);

    // Copies the first count bytes to destination, leaving them in place.
    // Raises ecInputQueuePeekCapacity (count, capacity) above the capacity, else ecInputQueuePeekCount (held,
    // count) above what is held.
    void Peek(std::uint8_t* destination, std::size_t count) const;

    // Drops the first count bytes and moves the rest to the front. Raises
    // ecInputQueueRemoveCapacity (count, capacity) above the capacity, else ecInputQueueRemoveCount (held, count)
    // above what is held.
    void Remove(std::size_t count);

    [[nodiscard]] std::uint16_t Count() const noexcept { return FCount; }

    // Bytes ever removed from the front: the place in the whole received
    // stream of the byte that is now first.
    [[nodiscard]] std::uint64_t RemovedTotal() const noexcept { return FRemovedTotal; }

    // Bytes ever received: the place in the stream of the next byte to come.
    [[nodiscard]] std::uint64_t ReceivedTotal() const noexcept { return FRemovedTotal + FCount; }

    [[nodiscard]] TEvent& DataEvent() noexcept { return FDataEvent; }

private:
    const TCOMPort& FPort;
    std::array<std::uint8_t, Capacity> FQueueData{};
    std::uint16_t FCount = 0;
    std::uint64_t FRemovedTotal = 0;
    TEvent FDataEvent{TEvent::rmAutoReset, false};
};

}  // namespace zarvik12m
