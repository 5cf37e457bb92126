// LoadGoods of a full table (4000 goods) against the emulated register
// answering at once, beside the bare synchronous exchange on the same
// pseudo-terminal: what the driver's engine costs per exchange.
//
//     bench_load_goods_instant [runs]      (default 5; the median and the best are shown)

#include <cstdio>
#include <cstdlib>

#include "bench/bench_support.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;

int main(int argc, char** argv)
{
    const long runCount = NumberArgument(argc, argv, 1, 5);
    if (runCount < 1 || runCount > 1000) {
        Fail("usage: bench_load_goods_instant [runs]");
    }
    const auto runs = static_cast<int>(runCount);
    constexpr std::size_t goods = MaxGoodsCount;
    TBenchRegister target(goods);
    const TRunSeconds driver = RunSeconds(runs, [] { return LoadGoodsSeconds(115200, goods); });
    const std::string line = target.Emulator().SlavePath();
    const TRunSeconds bare = RunSeconds(runs, [&] { return BareExchangeSeconds(line, goods, goods); });

    const auto perExchange = [](double seconds) { return seconds * 1e6 / static_cast<double>(goods); };
    const auto printRow = [&](const char* what, const TRunSeconds& seconds) {
        std::printf("%-30s %9zu %10.3f %14.1f %10.3f %14.1f\n", what, goods, seconds.Median,
                    perExchange(seconds.Median), seconds.Best, perExchange(seconds.Best));
    };
    std::printf("LoadGoods of %zu goods, emulator without line pacing (%d runs)\n\n", goods, runs);
    std::printf("%-30s %9s %10s %14s %10s %14s\n", "", "exchanges", "median s", "us/exchange", "best s", "us/exchange");
    printRow("LoadGoods through the library", driver);
    printRow("bare exchange on the pty", bare);
    std::printf("\nengine cost per exchange: %.1f us median, %.1f us best\n", perExchange(driver.Median - bare.Median),
                perExchange(driver.Best - bare.Best));
    return EXIT_SUCCESS;
}
