// The body of POST /api/v1/detect: arbitrary bytes as the request.
//
// Properties:
// - nothing crashes, and a body is either refused with the client's
//   message (std::invalid_argument, never another exception) or read;
// - what is read stays within the bounds the search relies on before it
//   opens any device: at most 64 device names of 1 to 256 bytes without a
//   zero byte, at most 16 different speeds of 50 to 4000000 baud, and
//   different network numbers of 1 to 99.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "server/detection.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

template <typename T>
bool AllDifferent(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return std::adjacent_find(values.begin(), values.end()) == values.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarvik12m::server;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    TDetectRequest request;
    try {
        request = DetectRequestFromBody(body);
    } catch (const std::invalid_argument& refusal) {
        ZARVIK12M_FUZZ_CHECK(std::string_view(refusal.what()).size() > 0);
        return 0;
    }
    ZARVIK12M_FUZZ_CHECK(request.Devices.size() <= 64);
    for (const std::string& device : request.Devices) {
        ZARVIK12M_FUZZ_CHECK(!device.empty() && device.size() <= 256);
        ZARVIK12M_FUZZ_CHECK(device.find('\0') == std::string::npos);
    }
    ZARVIK12M_FUZZ_CHECK(request.BaudRates.size() <= 16 && AllDifferent(request.BaudRates));
    for (const std::uint32_t rate : request.BaudRates) {
        ZARVIK12M_FUZZ_CHECK(rate >= 50 && rate <= 4000000);
    }
    ZARVIK12M_FUZZ_CHECK(AllDifferent(request.NetNumbers));
    for (const std::uint8_t net : request.NetNumbers) {
        ZARVIK12M_FUZZ_CHECK(net >= 1 && net <= 99);
    }
    return 0;
}
