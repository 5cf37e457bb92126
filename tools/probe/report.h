#pragma once

#include <string>
#include <vector>

#include "tools/probe/scan.h"

// The probe's texts, Windows-1251, a line each.

namespace zarvik12m::probe {

// The command that reads the goods table of a register found, as it is
// typed in the shells of Linux or in cmd on Windows.
std::string UtilityCommandLine(const TDeviceOutcome& outcome, TShellSyntax syntax);

// What the user is told: a register found (and the command to use it),
// a device that could not be used, something answering at another setting.
// Devices looked for that are no serial port, and consoles, are told only
// when they were named or verbose is asked.
std::vector<std::string> ReportLines(const std::vector<TDeviceOutcome>& outcomes, const TProbeOptions& options);

// --verbose: every device and speed tried, with what came back, and the
// system's own words for a device that could not be used.
std::vector<std::string> TriedTable(const std::vector<TDeviceOutcome>& outcomes);

}  // namespace zarvik12m::probe
