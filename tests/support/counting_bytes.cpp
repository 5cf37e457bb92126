#include "tests/support/pseudo_terminal.h"

namespace zarvik12m::testing {

TBytes CountingBytes(std::size_t count)
{
    TBytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

}  // namespace zarvik12m::testing
