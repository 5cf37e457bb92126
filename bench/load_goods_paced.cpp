// LoadGoods against the emulated register paced at a real line's speed
// (ten bits a byte, both directions): how much of the measured time the
// line itself needs. Line efficiency = line time of the bytes exchanged /
// measured time. The bare synchronous exchange at the same speed shows
// the ceiling that the emulator and the pseudo-terminal leave.
//
//     bench_load_goods_paced                  115200 baud x 4000 goods, 9600 x 200
//     bench_load_goods_paced <baud> <goods>   that case alone

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_support.h"
#include "driver/platform/linux_support.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;

namespace {

struct TPacedCase {
    std::uint32_t BaudRate;
    std::size_t Goods;          // the table LoadGoods reads
    std::size_t BareExchanges;  // the reference's exchanges
};

// One row: the run's totals, and the typical exchange against the line's
// time for one (the median resists the odd slow wake-up of a busy machine).
void PrintRow(const char* what, std::uint32_t baudRate, std::size_t goods, std::size_t bytes, double measured,
              const TPeriods& periods)
{
    const double line = LineSeconds(bytes, baudRate);
    const double exchangeLine = LineSeconds(ReadRequestBytes + GoodsAnswerBytes, baudRate);
    std::printf("%-10s %7u %6zu %11zu %9.3f %11.3f %11.3f %10.0f %12.0f %11.1f\n", what, baudRate, goods, bytes, line,
                measured, line / measured, periods.Median * 1e6, (periods.Median - exchangeLine) * 1e6,
                periods.Slowest * 1e3);
}

}  // namespace

int main(int argc, char** argv)
{
    // The emulated line times every byte with a timer; the default slack
    // of 50 us a wake-up would be charged to the line, not to the driver.
    // Threads take the setting from their creator, so this comes first.
    if (!SetFineTimerSlack()) {
        Fail("prctl(PR_SET_TIMERSLACK) failed");
    }
    std::vector<TPacedCase> cases = {
        {115200, MaxGoodsCount, 500},
        {9600, 200, 100},
    };
    if (argc == 3) {
        const long baudRate = NumberArgument(argc, argv, 1, 0);
        const long goods = NumberArgument(argc, argv, 2, 0);
        if (baudRate < 300 || goods < 1 || goods > MaxGoodsCount) {
            Fail("usage: bench_load_goods_paced [<baud> <goods 1..4000>]");
        }
        const auto count = static_cast<std::size_t>(goods);
        cases = {{static_cast<std::uint32_t>(baudRate), count, std::min<std::size_t>(count, 500)}};
    } else if (argc != 1) {
        Fail("usage: bench_load_goods_paced [<baud> <goods 1..4000>]");
    }
    std::printf("LoadGoods against the emulator paced at the line's speed\n\n");
    std::printf("%-10s %7s %6s %11s %9s %11s %11s %10s %12s %11s\n", "", "baud", "goods", "line bytes", "line s",
                "measured s", "efficiency", "median us", "beyond line", "slowest ms");
    for (const TPacedCase& paced : cases) {
        TBenchRegister target(paced.Goods, paced.BaudRate, true);
        const double measured = LoadGoodsSeconds(static_cast<std::int32_t>(paced.BaudRate), paced.Goods);
        PrintRow("LoadGoods", paced.BaudRate, paced.Goods, LoadGoodsLineBytes(paced.Goods), measured,
                 PeriodsOf(target.FrameTimes().Take()));
        const double bare = BareExchangeSeconds(target.Emulator().SlavePath(), paced.BareExchanges, paced.Goods);
        PrintRow("bare", paced.BaudRate, paced.BareExchanges,
                 paced.BareExchanges * (ReadRequestBytes + GoodsAnswerBytes), bare,
                 PeriodsOf(target.FrameTimes().Take()));
    }
    std::printf(
        "\nline bytes: 6-byte request and 42-byte answer per goods, and a final 6 + 5 below 4000 goods;\n"
        "10 bits a byte. efficiency: line s / measured s; target at 115200 baud: 0.95 or more.\n"
        "median us: the typical time from one command frame to the next at the register;\n"
        "beyond line: that less the line's time for one exchange (48 bytes);\n"
        "slowest ms: the longest time from one command frame to the next.\n");
    return EXIT_SUCCESS;
}
