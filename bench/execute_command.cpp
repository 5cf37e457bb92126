// ExecuteCommand 48 round trips of the protocol engine against the emulated
// register answering at once, beside the same exchange done synchronously
// by a bare client on the same pseudo-terminal (write the request, block
// until the whole answer is read). The ratio is what the engine's queues
// and threads cost on top of the line itself.
//
//     bench_execute_command [round trips] [runs]   (defaults 4000 and 5)

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "bench/engine_round_trips.h"
#include "zarvik12m/error.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;

int main(int argc, char** argv)
{
    const long roundTrips = NumberArgument(argc, argv, 1, 4000);
    const long runCount = NumberArgument(argc, argv, 2, 5);
    if (roundTrips < 1 || runCount < 1 || runCount > 1000) {
        Fail("usage: bench_execute_command [round trips] [runs]");
    }
    constexpr std::size_t goods = 100;
    const auto trips = static_cast<std::size_t>(roundTrips);
    const auto runs = static_cast<int>(runCount);
    TBenchRegister target(goods);
    try {
        const TRunSeconds engine = RunSeconds(runs, [&] { return EngineRoundTripSeconds(trips, goods); });
        const std::string line = target.Emulator().SlavePath();
        const TRunSeconds bare = RunSeconds(runs, [&] { return BareExchangeSeconds(line, trips, goods); });

        const auto perTrip = [&](double seconds) { return seconds * 1e6 / static_cast<double>(trips); };
        std::printf("ExecuteCommand 48 against the emulator without line pacing (%zu round trips, %d runs)\n\n", trips,
                    runs);
        std::printf("%-32s %14s %14s\n", "", "median us/trip", "best us/trip");
        std::printf("%-32s %14.1f %14.1f\n", "ExecuteCommand (engine)", perTrip(engine.Median), perTrip(engine.Best));
        std::printf("%-32s %14.1f %14.1f\n", "bare exchange on the pty", perTrip(bare.Median), perTrip(bare.Best));
        std::printf("\nratio engine / bare: %.2f median, %.2f best (target: at most 2)\n", engine.Median / bare.Median,
                    engine.Best / bare.Best);
    } catch (const EZarvik12mError& error) {
        Fail(std::string("driver error ") + std::to_string(error.ErrorCode()));
    }
    return EXIT_SUCCESS;
}
