#include "bench/bench_support.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <system_error>
#include <utility>

#include "driver/common/cp1251.h"
#include "driver/platform/dynamic_library.h"
#include "driver/platform/environment.h"
#include "driver/platform/linux_support.h"
#include "tools/emulator/catalogue.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/wire.h"
#include "zarvik12m/exports.h"

namespace zarvik12m::bench {

namespace {

emulator::TEmulatorSettings SettingsWithGoods(std::size_t goodsCount, std::uint32_t lineBaudRate,
                                              TFrameTimes* frameTimes)
{
    emulator::TEmulatorSettings settings;
    if (frameTimes != nullptr) {
        // The trace's frame lines ("<time> RX <bytes> ...") come as the
        // register takes a frame, before it answers.
        settings.Trace = [frameTimes](const std::string& line) {
            if (line.find(" RX ") != std::string::npos) {
                frameTimes->Record();
            }
        };
    }
    settings.NetNumber = BenchNetNumber;
    settings.Goods = emulator::GenerateGoods(goodsCount);
    settings.Faults.BaudRate = lineBaudRate;
    return settings;
}

TLoadGoods BoundLoadGoods()
{
    // Loaded once and kept: error objects thrown by the library need its code.
    static TDynamicLibrary library(ZARVIK12M_LIBRARY_PATH);
    if (!library.Loaded()) {
        Fail("cannot load " + std::string(ZARVIK12M_LIBRARY_PATH) + ": " + library.LastError().Text);
    }
    auto* loadGoods = reinterpret_cast<TLoadGoods>(library.Bind(LoadGoodsExportName));
    if (loadGoods == nullptr) {
        Fail("the library has no LoadGoods");
    }
    return loadGoods;
}

// The register's line as the simplest client uses it: raw, and every read
// blocks until at least one byte has come. The settings are its own: the
// driver leaves read time-outs of its own on the line.
class TBareLine {
public:
    explicit TBareLine(const std::string& path)
    {
        int error = 0;
        FLine = OpenTerminal(path, error);
        if (!FLine.IsOpen()) {
            Fail(path + ": " + std::generic_category().message(error));
        }
        if (!MakeTerminalRaw(Descriptor(FLine.Get()))) {
            Fail(std::string("tcsetattr: ") + std::generic_category().message(errno));
        }
    }
    void WriteAll(const emulator::TBytes& bytes) const
    {
        const int error =
            WriteAllBytes(FLine.Get(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (error != 0) {
            Fail(std::string("write: ") + std::generic_category().message(error));
        }
    }

    void ReadExactly(std::uint8_t* buffer, std::size_t count) const
    {
        for (std::size_t done = 0; done < count;) {
            int error = 0;
            const std::size_t got =
                ReadSomeBytes(FLine.Get(), reinterpret_cast<char*>(buffer) + done, count - done, error);
            if (got == 0) {
                Fail("the register's line ended");
            }
            done += got;
        }
    }

private:
    TFileHandle FLine;
};

}  // namespace

void TFrameTimes::Record()
{
    const TClock::time_point now = TClock::now();
    const std::lock_guard lock(FLock);
    FTimes.push_back(now);
}

std::vector<TClock::time_point> TFrameTimes::Take()
{
    const std::lock_guard lock(FLock);
    return std::exchange(FTimes, {});
}

TPeriods PeriodsOf(const std::vector<TClock::time_point>& times)
{
    if (times.size() < 2) {
        return {};
    }
    std::vector<double> periods;
    for (std::size_t i = 1; i < times.size(); ++i) {
        periods.push_back(std::chrono::duration<double>(times[i] - times[i - 1]).count());
    }
    std::sort(periods.begin(), periods.end());
    return {periods[periods.size() / 2], periods.back()};
}

TBenchRegister::TBenchRegister(std::size_t goodsCount, std::uint32_t lineBaudRate, bool recordFrameTimes)
    : FEmulator(SettingsWithGoods(goodsCount, lineBaudRate, recordFrameTimes ? &FFrameTimes : nullptr))
{
    const std::string variable = "ZARVIK12M_COM" + std::to_string(BenchPort);
    // Set before the library runs a thread of its own.
    if (!SetEnvironmentValue(variable, FEmulator.SlavePath())) {
        Fail("setenv failed");
    }
}

double LoadGoodsSeconds(std::int32_t baudRate, std::size_t expectedCount)
{
    static const TLoadGoods loadGoods = BoundLoadGoods();
    TZarvik12m_Goods goods;
    std::uint16_t count = 0;
    const TClock::time_point start = TClock::now();
    try {
        loadGoods(BenchPort, baudRate, BenchNetNumber, goods, count);
    } catch (const EZarvik12mError& error) {
        Fail("LoadGoods failed: [" + std::to_string(error.ErrorCode()) + "] " + Cp1251ToUtf8(error.what()));
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (count != expectedCount) {
        Fail("LoadGoods read " + std::to_string(count) + " goods, not " + std::to_string(expectedCount));
    }
    return seconds;
}

double BareExchangeSeconds(const std::string& linePath, std::size_t exchanges, std::size_t goodsCount)
{
    const TBareLine line(linePath);
    const std::uint8_t code = emulator::ShapeOf(emulator::scReadGoods).Code;
    std::uint8_t answer[GoodsAnswerBytes];
    const TClock::time_point start = TClock::now();
    for (std::size_t i = 0; i < exchanges; ++i) {
        emulator::TBytes payload;
        emulator::PutWord(payload, static_cast<std::uint16_t>(i % goodsCount + 1));
        line.WriteAll(emulator::BuildFrame(BenchNetNumber, code, payload));
        line.ReadExactly(answer, sizeof answer);
    }
    return std::chrono::duration<double>(TClock::now() - start).count();
}

std::size_t LoadGoodsLineBytes(std::size_t count)
{
    const std::size_t reads = count * (ReadRequestBytes + GoodsAnswerBytes);
    return count < MaxGoodsCount ? reads + ReadRequestBytes + NoGoodsAnswerBytes : reads;
}

double LineSeconds(std::size_t bytes, std::uint32_t baudRate)
{
    return static_cast<double>(bytes) * 10.0 / static_cast<double>(baudRate);
}

long NumberArgument(int argc, char** argv, int index, long fallback)
{
    if (index >= argc) {
        return fallback;
    }
    const std::string_view text(argv[index]);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() ? value : 0;
}

void Fail(const std::string& message)
{
    static_cast<void>(std::fprintf(stderr, "%s\n", message.c_str()));
    // The benchmark is over: nothing of it runs on that another thread needs.
    std::exit(EXIT_FAILURE);  // NOLINT(concurrency-mt-unsafe)
}

}  // namespace zarvik12m::bench
