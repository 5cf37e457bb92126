// The command the probe prints for a register it found, as typed in the
// shells of Linux and in cmd on Windows.

#include <string>

#include <gtest/gtest.h>

#include "tools/probe/report.h"

namespace zarvik12m::probe {
namespace {

TDeviceOutcome FoundOn(const std::string& path, const std::string& byId = {})
{
    TDeviceOutcome outcome;
    outcome.Device = {path, byId, false};
    outcome.Found = true;
    outcome.FoundBaudRate = 19200;
    outcome.FoundNetNumber = 7;
    return outcome;
}

TEST(ProbeReport, TheCommandNamesTheDeviceAsEachShellReadsIt)
{
    struct TCase {
        const char* Path;
        const char* ById;
        TShellSyntax Syntax;
        const char* Command;
    };
    for (const TCase& c : {
             TCase{"/dev/ttyUSB0", "", ssPosix,
                   "ZARVIK12M_COM1=/dev/ttyUSB0 Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt"},
             TCase{"/dev/ttyUSB0", "/dev/serial/by-id/usb-A B's", ssPosix,
                   R"(ZARVIK12M_COM1='/dev/serial/by-id/usb-A B'\''s' Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt)"},
             // cmd: the utility names COM1 to COM32 itself.
             TCase{"COM3", "", ssCmd, "Zarvik12mPLU /p3 /b19200 /n7 /s59 /lplu.txt"},
             TCase{R"(\\.\COM32)", "", ssCmd, "Zarvik12mPLU /p32 /b19200 /n7 /s59 /lplu.txt"},
             // Any other device through port 1's variable, quoted so that no
             // space becomes part of the value.
             TCase{"COM33", "", ssCmd,
                   R"(set "ZARVIK12M_COM1=\\.\COM33" && Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt)"},
             TCase{"COM03", "", ssCmd, R"(set "ZARVIK12M_COM1=COM03" && Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt)"},
             TCase{R"(\\.\CNCA0)", "", ssCmd,
                   R"(set "ZARVIK12M_COM1=\\.\CNCA0" && Zarvik12mPLU /p1 /b19200 /n7 /s59 /lplu.txt)"},
         }) {
        EXPECT_EQ(UtilityCommandLine(FoundOn(c.Path, c.ById), c.Syntax), c.Command) << c.Path;
    }
}

}  // namespace
}  // namespace zarvik12m::probe
