#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tools/probe/line_probe.h"
#include "tools/probe/probe_options.h"

namespace zarvik12m::probe {
namespace {

using TBytes = std::vector<std::uint8_t>;

// Answer 24 with the factory number "123" (and ten spaces) from the address.
TBytes SerialAnswer(std::uint8_t address)
{
    // Made at its full size: g++ 12 at -O3 warns falsely about growing
    // vectors this small.
    TBytes frame(4 + 13, ' ');
    frame[0] = address;
    frame[1] = 13;
    frame[2] = 0x1B;
    frame[3] = '1';
    frame[4] = '2';
    frame[5] = '3';
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        sum += frame[i];
    }
    frame.back() = static_cast<std::uint8_t>(0xFFU ^ (sum & 0xFFU));
    return frame;
}

TBytes Joined(const TBytes& a, const TBytes& b)
{
    TBytes joined(a.size() + b.size());
    std::copy(a.begin(), a.end(), joined.begin());
    std::copy(b.begin(), b.end(), joined.begin() + static_cast<std::ptrdiff_t>(a.size()));
    return joined;
}

TByteSet EveryNetNumber()
{
    TByteSet numbers;
    for (std::size_t n = 1; n <= 99; ++n) {
        numbers.set(n);
    }
    return numbers;
}

TEST(ClassifyAnswer, TellsTheAnswerFromAnotherRegisterGarbageAndSilence)
{
    TFrameCodec decoder(1, EveryNetNumber());

    const TTryResult found = ClassifyAnswer(decoder, Joined({0xFE, 0x00}, SerialAnswer(0x07)), 7);
    EXPECT_EQ(found.Kind, TTryResult::tkFound);
    EXPECT_EQ(found.SerialNumber, "123");

    // Network number 12 answers a question for 7: the right speed, another
    // setting.
    const TTryResult other = ClassifyAnswer(decoder, SerialAnswer(0x12), 7);
    EXPECT_EQ(other.Kind, TTryResult::tkOtherFrames);
    EXPECT_EQ(other.OtherNetNumber, 12);

    // A frame cut short is not an answer (yet): the bytes are garbage.
    const TBytes whole = SerialAnswer(0x07);
    const TTryResult cut = ClassifyAnswer(decoder, TBytes(whole.begin(), whole.end() - 1), 7);
    EXPECT_EQ(cut.Kind, TTryResult::tkGarbage);
    // The request itself coming back (an echoing line) is no answer either.
    EXPECT_EQ(ClassifyAnswer(decoder, TBytes{0x07, 0x00, 0x1B, 0xDD}, 7).Kind, TTryResult::tkGarbage);

    EXPECT_EQ(ClassifyAnswer(decoder, {}, 7).Kind, TTryResult::tkSilence);
}

TEST(ProbeCommandLine, DefaultsAndRefusals)
{
    const TProbeOptions defaults = ParseProbeCommandLine({"/dev/ttyUSB0"});
    EXPECT_EQ(defaults.Devices, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_EQ(defaults.BaudRates, DefaultBaudRates);
    EXPECT_EQ(defaults.NetNumbers, std::vector<std::uint8_t>{1});
    EXPECT_EQ(defaults.WaitMilliseconds, 150U);

    const TProbeOptions given =
        ParseProbeCommandLine({"--baud", "19200", "--baud=9600", "--baud", "19200", "--all-nets", "--wait", "40"});
    EXPECT_EQ(given.BaudRates, (std::vector<std::uint32_t>{19200, 9600}));
    ASSERT_EQ(given.NetNumbers.size(), 99U);
    EXPECT_EQ(given.NetNumbers.back(), 99);
    EXPECT_EQ(given.WaitMilliseconds, 40U);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"--net", "0"},
                                                                                     {"--net", "100"},
                                                                                     {"--net", "5", "--all-nets"},
                                                                                     {"--baud", "fast"},
                                                                                     {"--baud"},
                                                                                     {"--verbose=yes"},
                                                                                     {"--colour"}}) {
        EXPECT_THROW(ParseProbeCommandLine(bad), TProbeUsageError) << bad.front();
    }
}

TEST(LineTime, RequestAndAnswerAtTenBitsAByte)
{
    EXPECT_EQ(LineMilliseconds(2400), 88U);  // 210 bits: 87.5 ms
    EXPECT_EQ(LineMilliseconds(19200), 11U);
    EXPECT_EQ(LineMilliseconds(115200), 2U);
}

}  // namespace
}  // namespace zarvik12m::probe
