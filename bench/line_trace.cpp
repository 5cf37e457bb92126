// What a line trace adds to each exchange of a full table read: the two
// records (the 6-byte goods read request written, the 42-byte answer read)
// that the transmit and the read thread make, timed on their own so that
// the figure holds on a loaded machine where the table read's own time
// does not; and the whole trace with its opening and the writer's last
// write-out at the close.
//
//     bench_line_trace [runs]      (default 5; the median and the best are shown)

#include <algorithm>
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
    // The line threads' share (the records) and the whole, with the
    // writer's last write-out when the port closes.
    std::vector<double> recordSeconds;
    const TRunSeconds whole = RunSeconds(static_cast<int>(runCount), [&] {
        std::filesystem::remove(file);
        const auto start = std::chrono::steady_clock::now();
        {
            TLineTrace trace(file.string(), {1, 115200, "/dev/pts/0"});
            if (!trace.Active()) {
                Fail("cannot write " + file.string());
            }
            const auto recordStart = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < exchanges; ++i) {
                trace.Record(ldToRegister, request.data(), request.size());
                trace.Record(ldFromRegister, answer.data(), answer.size());
            }
            recordSeconds.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - recordStart).count());
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    std::sort(recordSeconds.begin(), recordSeconds.end());
    const TRunSeconds records{recordSeconds[recordSeconds.size() / 2], recordSeconds.front()};
    const auto size = std::filesystem::file_size(file);
    std::filesystem::remove(file);
    const auto perExchange = [](double s) { return s * 1e6 / static_cast<double>(exchanges); };
    std::printf("Line trace of %zu exchanges (6 bytes out, 42 in), %ld runs, %ju bytes of trace\n\n", exchanges,
                runCount, static_cast<std::uintmax_t>(size));
    std::printf("%-30s %10s %14s %10s %14s\n", "", "median s", "us/exchange", "best s", "us/exchange");
    const auto printRow = [&](const char* what, const TRunSeconds& seconds) {
        std::printf("%-30s %10.4f %14.2f %10.4f %14.2f\n", what, seconds.Median, perExchange(seconds.Median),
                    seconds.Best, perExchange(seconds.Best));
    };
    printRow("records (the line's threads)", records);
    printRow("open, records, close", whole);
    return EXIT_SUCCESS;
}
