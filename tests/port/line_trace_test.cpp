// The line trace on its own, on every system: what its file holds and how
// a file that cannot be written is told.

#include "driver/port/line_trace.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/error_log.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

using TBytes = std::vector<std::uint8_t>;

struct TTraceLine {
    std::size_t Opening = 0;
    long long Microseconds = -1;
    char Direction = 0;
    std::string Hex;
};

// The chunk lines of a trace, each checked for its shape; the "open" lines
// are counted and given back whole.
std::vector<TTraceLine> ChunkLines(const std::string& text, std::vector<std::string>& openings)
{
    std::vector<TTraceLine> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (line.starts_with("open ")) {
            openings.push_back(line);
            continue;
        }
        TTraceLine parsed;
        EXPECT_FALSE(openings.empty()) << "a chunk before the first opening";
        parsed.Opening = openings.size();
        std::istringstream words(line);
        words >> parsed.Microseconds >> parsed.Direction;
        std::getline(words, parsed.Hex);
        EXPECT_GE(parsed.Microseconds, 0) << line;
        EXPECT_TRUE(parsed.Direction == '>' || parsed.Direction == '<') << line;
        lines.push_back(parsed);
    }
    return lines;
}

std::string Stream(const std::vector<TTraceLine>& lines, char direction)
{
    std::string hex;
    for (const TTraceLine& line : lines) {
        if (line.Direction == direction) {
            hex += line.Hex;
        }
    }
    return hex;
}

TEST(LineTrace, HoldsAnOpeningLineAndEveryChunkInTheOrderOfTheCalls)
{
    const testing::TScratchDirectory scratch;
    const std::string file = (scratch.Path() / "line.trace").string();
    const TBytes request = {0x01, 0x02, 0x24, 0x00, 0x01, 0xD7};
    const TBytes answerStart = {0x01, 0x01};
    const TBytes answerEnd = {0x24, 0x07, 0xD2};
    for (int opening = 0; opening < 2; ++opening) {
        TLineTrace trace(file, {7, 9600, "COM7 at the desk"});
        ASSERT_TRUE(trace.Active());
        trace.Record(ldToRegister, request.data(), request.size());
        trace.Record(ldToRegister, request.data(), request.size());
        trace.Record(ldFromRegister, answerStart.data(), answerStart.size());
        trace.Record(ldFromRegister, answerEnd.data(), answerEnd.size());
        trace.Record(ldFromRegister, answerEnd.data(), 0);
        trace.Record(ldToRegister, request.data(), 1);
    }

    std::vector<std::string> openings;
    const std::vector<TTraceLine> lines = ChunkLines(testing::ReadFileBytes(file), openings);
    ASSERT_EQ(openings.size(), 2U);
    for (const std::string& opening : openings) {
        // "open YYYY-MM-DD HH:MM:SS.mmm port=7 ..."
        EXPECT_EQ(opening.size(), 28 + opening.substr(28).size());
        EXPECT_EQ(opening.substr(9, 1) + opening.substr(12, 1) + opening.substr(15, 1), "-- ") << opening;
        EXPECT_TRUE(opening.substr(28).starts_with(" port=7 baud=9600 version=")) << opening;
        EXPECT_TRUE(opening.ends_with(" device=COM7 at the desk")) << opening;
    }
    // Each write is a line of its own; the two reads may share one, as they
    // follow each other at once.
    ASSERT_GE(lines.size(), 8U);
    ASSERT_LE(lines.size(), 10U);
    EXPECT_EQ(lines[0].Direction, '>');
    EXPECT_EQ(lines[0].Hex, " 01 02 24 00 01 D7");
    EXPECT_EQ(lines[1].Hex, " 01 02 24 00 01 D7");
    EXPECT_EQ(Stream(lines, '<'), " 01 01 24 07 D2 01 01 24 07 D2");
    EXPECT_EQ(Stream(lines, '>'), " 01 02 24 00 01 D7 01 02 24 00 01 D7 01 01 02 24 00 01 D7 01 02 24 00 01 D7 01");
    // Time counts from each opening and never goes back within one.
    EXPECT_EQ(lines.back().Opening, 2U);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].Opening == lines[i - 1].Opening) {
            EXPECT_GE(lines[i].Microseconds, lines[i - 1].Microseconds) << i;
        }
    }
}

TEST(LineTrace, AFileThatCannotBeWrittenIsLoggedOnceAndNothingElseHappens)
{
    const testing::TScratchDirectory scratch;
    const std::string file = (scratch.Path() / "no such folder" / "line.trace").string();
    const TBytes bytes = {0x01, 0x02};
    for (int opening = 0; opening < 3; ++opening) {
        TLineTrace trace(file, {2, 115200, "COM2"});
        EXPECT_FALSE(trace.Active());
        trace.Record(ldToRegister, bytes.data(), bytes.size());
        trace.Record(ldFromRegister, bytes.data(), bytes.size());
    }
    const std::string log = testing::ReadFileBytes(scratch.Path() / ErrorLogFileName);
    EXPECT_EQ(log.find("[ErrorCode-121] [COM2] "), log.rfind("[ErrorCode-121] [COM2] ")) << log;
    EXPECT_NE(log.find(file), std::string::npos) << log;
    EXPECT_EQ(log.find("\r\n"), log.size() - 2) << "one line: " << log;
}

}  // namespace
}  // namespace zarvik12m
