#include "tools/probe/scan.h"

#include <exception>
#include <optional>

#include "driver/common/error_text.h"
#include "driver/platform/network_address.h"
#include "driver/platform/serial_device.h"
#include "driver/platform/terminal_devices.h"
#include "zarvik12m/error.h"

namespace zarvik12m::probe {

namespace {

// The state of a device that the system would not open, by the kind of
// its failure.
TDeviceState StateOf(TErrorKind kind)
{
    switch (kind) {
    case TErrorKind::Busy:
        return dsBusy;
    case TErrorKind::Denied:
        return dsDenied;
    case TErrorKind::NotFound:
        return dsMissing;
    case TErrorKind::NotSerial:
        return dsNotAPort;
    case TErrorKind::TimedOut:
    case TErrorKind::Closed:
    case TErrorKind::Other:
        break;
    }
    return dsFailed;
}

// Tries the device as the driver opens it, so that a device that cannot
// be used is told without a driver error (and its log line).
TDeviceState Access(const std::string& path, TSystemError& failure)
{
    TSerialDevice device;
    if (device.Open(OpenablePath(path))) {
        return dsProbed;
    }
    failure = device.LastError();
    return StateOf(failure.Kind);
}

void ProbeDevice(TDeviceOutcome& outcome, const TProbeOptions& options, const TProgress& progress)
{
    TLineProbe line;
    for (const std::uint32_t rate : SpeedsToTry(outcome.Device.Path, options)) {
        TSpeedOutcome& speed = outcome.Speeds.emplace_back();
        speed.BaudRate = rate;
        try {
            line.Open(outcome.Device.Path, rate);
        } catch (const EZarvik12mError& error) {
            if (error.ErrorCode() == ecPortOpen) {
                // No connection (refused, unknown host or no answer), or a
                // device taken by another program since the first look.
                outcome.SystemError = line.DeviceError();
                outcome.State = IsNetworkAddress(outcome.Device.Path) ? dsFailed : StateOf(outcome.SystemError.Kind);
                if (outcome.State == dsFailed) {
                    outcome.Reason = error.what();
                }
                outcome.Speeds.pop_back();
                return;
            }
            speed.Unsupported = true;
            continue;
        }
        for (const std::uint8_t net : options.NetNumbers) {
            if (progress) {
                progress(outcome.Device.Path, rate, net);
            }
            const TTryResult result = line.Try(net, options.WaitMilliseconds);
            ++speed.NetNumbersTried;
            speed.Best = std::max(speed.Best, result.Kind);
            if (result.OtherNetNumber != 0 && speed.OtherNetNumber == 0) {
                speed.OtherNetNumber = result.OtherNetNumber;
            }
            if (result.Kind == TTryResult::tkFound) {
                outcome.Found = true;
                outcome.FoundBaudRate = rate;
                outcome.FoundNetNumber = net;
                outcome.SerialNumber = result.SerialNumber;
                return;
            }
            if (result.Kind == TTryResult::tkGarbage) {
                break;  // the wrong speed, whatever the network number
            }
        }
    }
}

}  // namespace

bool IsRawNetworkLine(const std::string& path)
{
    const std::optional<TNetworkAddress> address = ParseNetworkAddress(path);
    return address && address->Protocol == npRawTcp;
}

std::vector<std::uint32_t> SpeedsToTry(const std::string& path, const TProbeOptions& options)
{
    // Over raw TCP the converter's own setting drives the line; the rate
    // here serves only the waits, so another rate could find nothing new.
    if (IsRawNetworkLine(path) && !options.BaudRates.empty()) {
        return {options.BaudRates.front()};
    }
    return options.BaudRates;
}

std::vector<TDeviceOutcome> ScanDevices(const std::vector<TCandidateDevice>& devices, const TProbeOptions& options,
                                        const TProgress& progress)
{
    std::vector<TDeviceOutcome> outcomes;
    for (const TCandidateDevice& device : devices) {
        TDeviceOutcome& outcome = outcomes.emplace_back();
        outcome.Device = device;
        if (IsConsoleOrOwnTerminal(device.Path)) {
            outcome.State = dsConsole;
            continue;
        }
        // Someone works on it (a shell's terminal): its settings stay theirs.
        if (IsTerminalOfAnotherProcess(device.Path)) {
            outcome.State = dsBusy;
            continue;
        }
        // A network address gets no look of its own: each connection starts
        // a session of the converter's, and one that has just ended can still
        // hold the line (a converter serves one session at a time) when the
        // probe connects again; the probe's own connection tells the failure.
        outcome.State = IsNetworkAddress(device.Path) ? dsProbed : Access(device.Path, outcome.SystemError);
        if (outcome.State != dsProbed) {
            continue;
        }
        try {
            ProbeDevice(outcome, options, progress);
        } catch (const EZarvik12mError& error) {
            outcome.State = dsFailed;
            outcome.Reason = error.what();
            outcome.SystemError = TSystemError{};
        }
    }
    return outcomes;
}

}  // namespace zarvik12m::probe
