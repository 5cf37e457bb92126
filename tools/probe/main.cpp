// zarvik12m-probe: finds a Zarvik-12M register on the serial devices, at
// which line speed and network number it answers, in seconds, by asking
// only for its factory number.

#include <exception>
#include <string>
#include <vector>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"
#include "driver/platform/standard_streams.h"
#include "tools/probe/probe_options.h"
#include "tools/probe/report.h"
#include "tools/probe/scan.h"
#include "tools/probe/serial_devices.h"
#include "utility/console.h"

namespace {

using namespace zarvik12m;
using namespace zarvik12m::probe;
using namespace zarvik12m::literals;

constexpr int ExitFound = 0;
constexpr int ExitNotFound = 1;
constexpr int ExitUsage = 2;
constexpr std::size_t ProgressWidth = 70;

// One line that each try overwrites, on a terminal only.
void ShowProgress(TConsole& console, const std::string& text)
{
    std::string dos = ConvertStr(text, ccWinDos);
    dos.resize(ProgressWidth, ' ');
    console.WriteProgress(dos, ProgressWidth);
}

int Run(const std::vector<std::string>& arguments, TConsole& console)
{
    TProbeOptions options;
    try {
        options = ParseProbeCommandLine(arguments);
    } catch (const TProbeUsageError& error) {
        console.WriteErrorLines({error.what(), "Справка: zarvik12m-probe --help"_cp1251});
        return ExitUsage;
    }
    if (options.Help) {
        console.WriteLines({ProbeUsageText()});
        return ExitFound;
    }
    const std::vector<TCandidateDevice> devices =
        options.Devices.empty() ? FindSerialDevices() : NamedDevices(options.Devices);
    if (devices.empty()) {
        console.WriteLines({"Последовательные устройства не найдены."_cp1251, "ККМ не найдена."_cp1251});
        return ExitNotFound;
    }
    const std::vector<TDeviceOutcome> outcomes =
        ScanDevices(devices, options, [&](const std::string& device, std::uint32_t rate, std::uint8_t net) {
            ShowProgress(console, std::string("Опрос: "_cp1251) + device + ", " + std::to_string(rate) +
                                      std::string(" бод, сетевой номер "_cp1251) + std::to_string(net));
        });
    ShowProgress(console, {});
    if (options.Verbose) {
        for (const std::string& line : TriedTable(outcomes)) {
            console.WriteLine(line);
        }
        console.WriteLine({});
    }
    for (const std::string& line : ReportLines(outcomes, options)) {
        console.WriteLine(line);
    }
    const bool found = std::any_of(outcomes.begin(), outcomes.end(), [](const TDeviceOutcome& o) { return o.Found; });
    return found && !console.OutputFailed() ? ExitFound : ExitNotFound;
}

}  // namespace

int main(int argc, char** argv)
{
    KeepRunningWhenOutputCloses();
    TConsole console(StandardOutput(), StandardError(), StandardOutputCharset(), IsTerminal(StandardOutput()));
    try {
        return Run(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), console);
    } catch (const std::exception& error) {
        console.WriteErrorLines({std::string("Ошибка: "_cp1251) + error.what()});
        return ExitNotFound;
    }
}
