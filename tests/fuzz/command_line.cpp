// The utility's command line: arbitrary argument vectors, the input split
// at its NUL bytes into parameters.
//
// Properties:
// - GetParam finds a switch exactly when some parameter begins with "/"
//   and the letter, and its value is the first such parameter without its
//   first two characters; when nothing is found the value is empty;
// - ParsePluParameters accepts exactly the valid parameters, and what it
//   gives back is what the switches say;
// - the integer reading takes back every value it is given in decimal and
//   in hexadecimal.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/support/fuzz_check.h"
#include "tests/fuzz/support/fuzz_input.h"
#include "utility/command_line.h"
#include "utility/number_text.h"

namespace zarvik12m {
namespace {

struct TFound {
    bool Found = false;
    std::string Value;
};

TFound ExpectedParam(std::span<const std::string> parameters, char letter)
{
    for (const std::string& parameter : parameters) {
        if (parameter.size() >= 2 && parameter[0] == '/' && parameter[1] == letter) {
            return {true, parameter.substr(2)};
        }
    }
    return {};
}

TFound CheckedParam(std::span<const std::string> parameters, char letter)
{
    const TFound expected = ExpectedParam(parameters, letter);
    std::string value = "left over";
    const bool found = GetParam(parameters, letter, value);
    ZARVIK12M_FUZZ_CHECK(found == expected.Found);
    ZARVIK12M_FUZZ_CHECK(value == expected.Value);
    return expected;
}

constexpr std::string_view Switches = "pbnslwc";

// The codes that can stand between the fields of a PLU line.
bool IsFieldSeparator(std::int32_t code)
{
    static constexpr std::string_view Unusable = "\r\n .0123456789";
    return code >= 1 && code <= 255 && Unusable.find(static_cast<char>(code)) == std::string_view::npos;
}

void CheckPluParameters(std::span<const std::string> parameters)
{
    std::array<TFound, Switches.size()> switches;
    for (std::size_t i = 0; i < Switches.size(); ++i) {
        switches[i] = CheckedParam(parameters, Switches[i]);
    }
    const auto& [port, baud, net, separator, load, write, clear] = switches;

    const std::optional<std::int32_t> portNumber = StrToInt(port.Value);
    const std::optional<std::int32_t> baudRate = StrToInt(baud.Value);
    const std::optional<std::int32_t> netNumber = StrToInt(net.Value);
    const std::optional<std::int32_t> separatorCode = StrToInt(separator.Value);
    const int commands = int{load.Found} + int{write.Found} + int{clear.Found};
    const bool valid = port.Found && baud.Found && net.Found && commands == 1 && (separator.Found || clear.Found) &&
                       portNumber && baudRate && netNumber && (!separator.Found || separatorCode) && *portNumber >= 1 &&
                       *portNumber <= 32 && *netNumber >= 1 && *netNumber <= 99 && *baudRate > 0 &&
                       (!separator.Found || IsFieldSeparator(*separatorCode));

    const std::optional<TPluParameters> parsed = ParsePluParameters(parameters);
    ZARVIK12M_FUZZ_CHECK(parsed.has_value() == valid);
    if (!parsed) {
        return;
    }
    ZARVIK12M_FUZZ_CHECK(parsed->PortNumber == *portNumber && parsed->BaudRate == *baudRate &&
                         parsed->NetNumber == *netNumber);
    ZARVIK12M_FUZZ_CHECK(parsed->SeparatorCode == (separator.Found ? *separatorCode : 0));
    const TPluCommand command = load.Found ? pcLoad : write.Found ? pcWrite : pcClear;
    ZARVIK12M_FUZZ_CHECK(parsed->Command == command);
    ZARVIK12M_FUZZ_CHECK(parsed->FileName == (load.Found ? load.Value : write.Found ? write.Value : ""));
}

void CheckIntegerReading(std::int32_t value)
{
    ZARVIK12M_FUZZ_CHECK(StrToInt(std::to_string(value)) == value);
    char hexadecimal[16];
    std::snprintf(hexadecimal, sizeof hexadecimal, "$%X", static_cast<unsigned>(value));
    ZARVIK12M_FUZZ_CHECK(StrToInt(hexadecimal) == value);
}

}  // namespace
}  // namespace zarvik12m

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m;
    const std::string_view text = fuzz::AsText(std::span(data, size));
    std::vector<std::string> parameters;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        parameters.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    CheckPluParameters(parameters);

    // Every other letter that follows a slash somewhere, too.
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '/') {
            CheckedParam(parameters, text[i + 1]);
        }
    }
    for (const std::string& parameter : parameters) {
        if (const std::optional<std::int32_t> value = StrToInt(parameter)) {
            CheckIntegerReading(*value);
        }
    }
    fuzz::TFuzzInput input(std::span(data, size));
    CheckIntegerReading(static_cast<std::int32_t>(input.Unsigned<std::uint32_t>()));
    return 0;
}
