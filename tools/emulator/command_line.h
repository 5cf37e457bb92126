#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "tools/emulator/faults.h"

namespace zarvik12m::emulator {

// What the command line of zarvik12m-emulator asks for.
struct TProgramOptions {
    bool Help = false;
    std::uint8_t NetNumber = 1;
    std::string SerialNumber = "12000001";
    std::string LinkPath;                 // --link: a symbolic link to the line
    std::string LoadPath;                 // --load: goods file to start with
    std::optional<std::size_t> Generate;  // --generate: that many made-up goods
    std::string SavePath;                 // --save: goods file written at the end
    char Separator = ';';                 // --separator: field separator of the goods files
    bool Trace = false;                   // --trace: every frame, to stderr ...
    std::string TracePath;                // ... or to this file
    std::uint32_t LineBaudRate = 0;       // --line-baud: the one speed the register understands
    std::string ReplayPath;               // --replay: play this line trace instead of a register
    double ReplaySpeed = 1;               // --replay-speed: that many times faster
    TFaults Faults;
};

// A command line that cannot be used; the message is UTF-8 for the console.
class TCommandLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

TProgramOptions ParseCommandLine(int argc, const char* const* argv);

// The --help text, Windows-1251.
std::string UsageText();

}  // namespace zarvik12m::emulator
