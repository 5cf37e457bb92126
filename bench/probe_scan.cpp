// zarvik12m-probe's scan of one device (linked in) against the emulated
// register that understands its line only at 19200 baud and has network
// number 7: the default scan (network number 1 over the seven default
// speeds, which finds nothing) and --all-nets (which finds it at the
// second speed), beside the time the probe's waits add up to.
//
//     bench_probe_scan [runs]   (default 5)

#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "tools/probe/scan.h"

using namespace zarvik12m;
using namespace zarvik12m::bench;
using namespace zarvik12m::probe;

namespace {

double ScanSeconds(const std::string& line, bool allNets, bool expectFound)
{
    const std::vector<std::string> arguments =
        allNets ? std::vector<std::string>{line, "--all-nets"} : std::vector<std::string>{line};
    const TProbeOptions options = ParseProbeCommandLine(arguments);
    const auto start = TClock::now();
    const std::vector<TDeviceOutcome> outcomes = ScanDevices(NamedDevices(options.Devices), options, nullptr);
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (outcomes.size() != 1 || outcomes.front().Found != expectFound ||
        (expectFound && (outcomes.front().FoundBaudRate != 19200 || outcomes.front().FoundNetNumber != 7))) {
        Fail("the scan did not end as expected");
    }
    return seconds;
}

// The sum of the waits: each try lasts the line's time plus the wait, at
// most; only the try that finds the register ends sooner.
double WaitsSeconds(const std::vector<std::uint32_t>& rates)
{
    double total = 0;
    for (const std::uint32_t rate : rates) {
        total += (LineMilliseconds(rate) + DefaultWaitMilliseconds) / 1000.0;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv)
{
    const long runCount = NumberArgument(argc, argv, 1, 5);
    if (runCount < 1 || runCount > 1000) {
        Fail("usage: bench_probe_scan [runs]");
    }
    const auto runs = static_cast<int>(runCount);
    emulator::TEmulatorSettings settings;
    settings.NetNumber = 7;
    settings.LineBaudRate = 19200;
    emulator::TEmulator target(settings);
    const std::string& line = target.SlavePath();

    const TRunSeconds scan = RunSeconds(runs, [&] { return ScanSeconds(line, false, false); });
    const TRunSeconds allNets = RunSeconds(runs, [&] { return ScanSeconds(line, true, true); });
    // --all-nets: one try at 9600 (garbage), six silent ones at 19200,
    // then the one that finds the register.
    const double allNetsWaits = WaitsSeconds({9600, 19200, 19200, 19200, 19200, 19200, 19200});

    std::printf("zarvik12m-probe scan of one device, emulator at 19200 baud and network number 7 (%d runs)\n\n", runs);
    std::printf("| scan | median s | best s | waits s |\n|---|---|---|---|\n");
    std::printf("| network number 1, seven default speeds (not found) | %.3f | %.3f | %.3f |\n", scan.Median, scan.Best,
                WaitsSeconds(DefaultBaudRates));
    std::printf("| --all-nets (found at 19200 baud, network number 7) | %.3f | %.3f | %.3f + answer |\n",
                allNets.Median, allNets.Best, allNetsWaits);
    return 0;
}
