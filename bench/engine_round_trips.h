#pragma once

#include <cstddef>

// What the engine's benchmarks share: ExecuteCommand round trips of the
// protocol engine, linked in, on COM1.

namespace zarvik12m::bench {

// Starts an engine on COM1 at 115200 baud and runs `roundTrips` goods
// reads (ExecuteCommand 48, goods numbers 1..goodsCount over and over),
// each waiting for its answer. Returns seconds; fails the program when an
// answer is not the goods (answer 11).
double EngineRoundTripSeconds(std::size_t roundTrips, std::size_t goodsCount);

}  // namespace zarvik12m::bench
