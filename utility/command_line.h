#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The utility's command line: switches of a slash and one lower-case
// letter, each value following its letter without a blank.

namespace zarvik12m {

// Whether a parameter carries the switch: it begins with "/" and the letter
// (the comparison is case-sensitive), so that a slash further on, as in a
// path, never makes a switch. The first parameter that carries it gives the
// value: that parameter without its first two characters. Later parameters
// carrying the switch are not looked at. The value is empty when the switch
// is missing.
bool GetParam(std::span<const std::string> parameters, char letter, std::string& value);

enum TPluCommand : std::uint8_t {
    pcLoad,   // /l: read the register's goods into the PLU file
    pcWrite,  // /w: write the PLU file into the register
    pcClear,  // /c: clear the register's goods
};

struct TPluParameters {
    std::int32_t PortNumber = 0;
    std::int32_t BaudRate = 0;
    std::int32_t NetNumber = 0;
    std::int32_t SeparatorCode = 0;  // 0 when /s is absent (allowed with /c)
    TPluCommand Command = pcClear;
    std::string FileName;  // of /l or /w; empty means standard output or input

    [[nodiscard]] char Separator() const { return static_cast<char>(static_cast<std::uint8_t>(SeparatorCode)); }

    // The port and the network number as the library's exports take them:
    // their low bytes.
    [[nodiscard]] std::uint8_t Port() const { return static_cast<std::uint8_t>(PortNumber); }
    [[nodiscard]] std::uint8_t Net() const { return static_cast<std::uint8_t>(NetNumber); }
};

// Valid parameters: /p, /b and /n present; /s present unless the command is
// /c; exactly one of /l, /w, /c; the values of /p, /b, /n and of /s when
// present integers; the port within 1..32 and the network number within
// 1..99, the ranges the library serves; a baud rate above 0; a separator
// code within 1..255 that can stand between fields (not CR, LF, the blank,
// the point or a digit). Nothing otherwise.
std::optional<TPluParameters> ParsePluParameters(std::span<const std::string> parameters);

}  // namespace zarvik12m
