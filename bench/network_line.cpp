// The driver over the network beside the same driver on the pseudo-terminal:
// ExecuteCommand 48 round trips of the engine and a full LoadGoods (4000
// goods) on each line named, the first being the reference. scripts/bench.sh
// serves one emulated register (zarvik12m-emulator --link) three ways: its
// pty, ser2net's raw TCP port and ser2net's RFC 2217 port.
//
//     bench_network_line ROUND_TRIPS RUNS LINE [ADDRESS ...]

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/engine_round_trips.h"
#include "driver/platform/environment.h"
#include "zarvik12m/error.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;

namespace {

constexpr std::size_t TableGoods = 4000;

struct TLineFigures {
    std::string Line;
    TRunSeconds RoundTrips;
    double LoadGoods = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    const long roundTrips = NumberArgument(argc, argv, 1, 0);
    const long runCount = NumberArgument(argc, argv, 2, 0);
    if (argc < 4 || roundTrips < 1 || runCount < 1 || runCount > 1000) {
        Fail("usage: bench_network_line ROUND_TRIPS RUNS LINE [ADDRESS ...]");
    }
    const auto trips = static_cast<std::size_t>(roundTrips);
    const auto runs = static_cast<int>(runCount);
    std::vector<TLineFigures> figures;
    try {
        for (int i = 3; i < argc; ++i) {
            if (i > 3) {
                // ser2net closes the line behind the last connection a moment
                // after it ended; its other port cannot open the line before.
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
            TLineFigures& line = figures.emplace_back();
            line.Line = argv[i];
            if (!SetEnvironmentValue("ZARVIK12M_COM1", line.Line)) {
                Fail("cannot set ZARVIK12M_COM1");
            }
            line.RoundTrips = RunSeconds(runs, [&] { return EngineRoundTripSeconds(trips, TableGoods); });
            line.LoadGoods = LoadGoodsSeconds(115200, TableGoods);
        }
    } catch (const EZarvik12mError& error) {
        Fail(std::string("driver error ") + std::to_string(error.ErrorCode()) + " on " + figures.back().Line);
    }
    const auto perTrip = [&](double seconds) { return seconds * 1e6 / static_cast<double>(trips); };
    const TLineFigures& reference = figures.front();
    std::printf(
        "ExecuteCommand 48 (%zu round trips, %d runs) and LoadGoods of %zu goods (one run), emulator "
        "answering at once\n\n",
        trips, runs, TableGoods);
    std::printf("%-34s %12s %8s %12s %8s\n", "line", "us/trip", "ratio", "LoadGoods s", "ratio");
    for (const TLineFigures& line : figures) {
        std::printf("%-34s %12.1f %8.2f %12.3f %8.2f\n", line.Line.c_str(), perTrip(line.RoundTrips.Median),
                    line.RoundTrips.Median / reference.RoundTrips.Median, line.LoadGoods,
                    line.LoadGoods / reference.LoadGoods);
    }
    std::printf("\n(median round trip; ratio to the first line; goal over loopback: at most 1.3)\n");
    return EXIT_SUCCESS;
}
