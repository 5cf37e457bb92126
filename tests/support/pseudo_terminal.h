#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/platform/pseudo_terminal.h"

namespace zarvik12m::testing {

using TBytes = std::vector<std::uint8_t>;

// The pseudo-terminal that stands in for a serial line: the driver opens
// the slave by its path, the test plays the far end on the master.
using TPseudoTerminal = zarvik12m::TPseudoTerminal;

// Points COM port N at a device file for the object's lifetime: through
// ZARVIK12M_COM<N>, or, where the Windows utility runs under Wine, through
// the prefix's dosdevices link com<N> alone.
class TPortVariable {
public:
    TPortVariable(std::uint8_t portNumber, const std::string& path);
    ~TPortVariable();
    TPortVariable(const TPortVariable&) = delete;
    TPortVariable& operator=(const TPortVariable&) = delete;

private:
    std::string FName;
    std::filesystem::path FWineLink;  // $WINEPREFIX/dosdevices/com<N> while the Windows utility is tested
};

// Bytes 0, 1, 2, ... 255, 0, 1, ... of the given length.
TBytes CountingBytes(std::size_t count);

}  // namespace zarvik12m::testing
