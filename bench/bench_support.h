#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/emulator/emulator.h"
#include "zarvik12m/goods.h"

// What the goods benchmarks share: the built library bound by name, an
// emulated register on a COM port, the bare exchange that serves as the
// reference, and the line arithmetic.

namespace zarvik12m::bench {

using TClock = std::chrono::steady_clock;

inline constexpr std::uint8_t BenchPort = 1;
inline constexpr std::uint8_t BenchNetNumber = 1;

// Bytes of one goods read on the line: a 6-byte request and a 42-byte
// answer; the read that finds no goods is answered in 5 bytes.
inline constexpr std::size_t ReadRequestBytes = 6;
inline constexpr std::size_t GoodsAnswerBytes = 42;
inline constexpr std::size_t NoGoodsAnswerBytes = 5;

// When the register took each command frame: the time the frame had
// crossed the line whole, as the emulator's thread came to answer it.
class TFrameTimes {
public:
    void Record();
    // Takes the times recorded so far and starts afresh.
    std::vector<TClock::time_point> Take();

private:
    std::mutex FLock;
    std::vector<TClock::time_point> FTimes;
};

// An emulated register holding goods 1..goodsCount, reachable as COM1; its
// line paced at lineBaudRate (0: no pacing). It records its frame times
// only when asked to: the trace that does it costs a little on every frame.
class TBenchRegister {
public:
    explicit TBenchRegister(std::size_t goodsCount, std::uint32_t lineBaudRate = 0, bool recordFrameTimes = false);

    [[nodiscard]] emulator::TEmulator& Emulator() { return FEmulator; }
    [[nodiscard]] TFrameTimes& FrameTimes() { return FFrameTimes; }

private:
    TFrameTimes FFrameTimes;  // outlives the emulator's thread, which records
    emulator::TEmulator FEmulator;
};

// The times between one command frame and the next, in seconds.
struct TPeriods {
    double Median = 0;
    double Slowest = 0;
};
TPeriods PeriodsOf(const std::vector<TClock::time_point>& times);

// Runs the library's LoadGoods on COM1 and returns its wall time in
// seconds; fails the program when it does not read `expectedCount` goods.
double LoadGoodsSeconds(std::int32_t baudRate, std::size_t expectedCount);

// The bare synchronous exchange: opens the register's line, writes a goods
// read request, blocks until the whole answer has come, `exchanges` times
// (goods numbers 1..goodsCount over and over). Returns seconds.
double BareExchangeSeconds(const std::string& linePath, std::size_t exchanges, std::size_t goodsCount);

// Bytes on the line for reading a table of `count` goods: every goods read
// and, below a full table, the final read that finds nothing.
std::size_t LoadGoodsLineBytes(std::size_t count);

// Time the line needs for that many bytes: ten bits a byte.
double LineSeconds(std::size_t bytes, std::uint32_t baudRate);

struct TRunSeconds {
    double Median = 0;
    double Best = 0;
};

// The median and the best of a few runs of `run`, each giving its seconds.
template <typename TRun>
TRunSeconds RunSeconds(int runs, TRun run)
{
    std::vector<double> seconds;
    seconds.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        seconds.push_back(run());
    }
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], seconds.front()};
}

// The whole number in argv[index], `fallback` when there are not that many
// arguments, and 0 when the argument is not a whole number (every
// benchmark refuses 0 with its usage line).
long NumberArgument(int argc, char** argv, int index, long fallback);

// Ends the program with the message when a run went wrong.
[[noreturn]] void Fail(const std::string& message);

}  // namespace zarvik12m::bench
