// What a line trace adds to each exchange of a full table read: the two
// records (the 6-byte goods read request written, the 42-byte answer read)
// that the transmit and the read thread make, file writes included, timed
// on their own so that the figure holds on a loaded machine where the
// table read's own time does not.
//
//     bench_line_trace [runs]      (default 5; the median and the best are shown)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "driver/port/line_trace.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;

int main(int argc, char** argv)
{
    const long runCount = NumberArgument(argc, argv, 1, 5);
    if (runCount < 1 || runCount > 1000) {
        Fail("usage: bench_line_trace [runs]");
    }
    constexpr std::size_t exchanges = MaxGoodsCount;
    const std::vector<std::uint8_t> request = {0x01, 0x02, 0x24, 0x00, 0x01, 0xD7};
    std::vector<std::uint8_t> answer(42);
    for (std::size_t i = 0; i < answer.size(); ++i) {
        answer[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "bench_line_trace.trace";
    const TRunSeconds seconds = RunSeconds(static_cast<int>(runCount), [&] {
        std::filesystem::remove(file);
        const auto start = std::chrono::steady_clock::now();
        {
            TLineTrace trace(file.string(), {1, 115200, "/dev/pts/0"});
            if (!trace.Active()) {
                Fail("cannot write " + file.string());
            }
            for (std::size_t i = 0; i < exchanges; ++i) {
                trace.Record(ldToRegister, request.data(), request.size());
                trace.Record(ldFromRegister, answer.data(), answer.size());
            }
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    const auto size = std::filesystem::file_size(file);
    std::filesystem::remove(file);
    const auto perExchange = [](double s) { return s * 1e6 / static_cast<double>(exchanges); };
    std::printf("Line trace of %zu exchanges (6 bytes out, 42 in), %ld runs, %ju bytes of trace\n\n", exchanges,
                runCount, static_cast<std::uintmax_t>(size));
    std::printf("%-30s %10s %14s %10s %14s\n", "", "median s", "us/exchange", "best s", "us/exchange");
    std::printf("%-30s %10.4f %14.2f %10.4f %14.2f\n", "recording", seconds.Median, perExchange(seconds.Median),
                seconds.Best, perExchange(seconds.Best));
    return EXIT_SUCCESS;
}
