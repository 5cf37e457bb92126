#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "utility/command_line.h"

namespace zarvik12m {
namespace {

using TParameters = std::vector<std::string>;

TEST(GetParam, FindsTheFirstParameterCarryingTheSwitch)
{
    const struct {
        TParameters Parameters;
        char Letter;
        bool Found;
        std::string Value;
    } cases[] = {
        {{"/p1", "/b9600"}, 'p', true, "1"},
        {{"/p1", "/b9600"}, 'b', true, "9600"},
        {{"/p1", "/b9600"}, 'n', false, ""},
        {{"/P1"}, 'p', false, ""},         // case-sensitive
        {{"x/p5"}, 'p', false, ""},        // a switch only at the start
        {{"/p3", "/p5"}, 'p', true, "3"},  // the first occurrence counts
        {{"/lC:/c/plu.txt"}, 'l', true, "C:/c/plu.txt"},
        {{"/lC:/c/plu.txt"}, 'c', false, ""},  // a slash in a path makes no switch
        {{"/l/srv/work/plu.txt", "/s59"}, 's', true, "59"},
        {{"/l"}, 'l', true, ""},
        {{"/cabc"}, 'c', true, "abc"},
        {{"", "/"}, 'p', false, ""},
    };
    for (const auto& c : cases) {
        std::string value = "previous";
        EXPECT_EQ(GetParam(c.Parameters, c.Letter, value), c.Found) << c.Parameters.front() << " /" << c.Letter;
        EXPECT_EQ(value, c.Value) << c.Parameters.front() << " /" << c.Letter;
    }
}

TEST(ParsePluParameters, AcceptsTheThreeCommands)
{
    const std::optional<TPluParameters> load =
        ParsePluParameters(TParameters{"/p2", "/b9600", "/n5", "/s59", "/lplu.txt"});
    ASSERT_TRUE(load);
    EXPECT_EQ(load->PortNumber, 2);
    EXPECT_EQ(load->BaudRate, 9600);
    EXPECT_EQ(load->NetNumber, 5);
    EXPECT_EQ(load->Separator(), ';');
    EXPECT_EQ(load->Command, pcLoad);
    EXPECT_EQ(load->FileName, "plu.txt");

    const std::optional<TPluParameters> write =
        ParsePluParameters(TParameters{"/w", "/s$09", "/n99", "/b115200", "/p32"});
    ASSERT_TRUE(write);
    EXPECT_EQ(write->Command, pcWrite);
    EXPECT_EQ(write->FileName, "");
    EXPECT_EQ(write->Separator(), '\t');

    // Absolute paths carrying every switch letter are file names only.
    const std::optional<TPluParameters> path =
        ParsePluParameters(TParameters{"/l/p/b/n/s/l/w/c/plu.txt", "/p1", "/b9600", "/n1", "/s59"});
    ASSERT_TRUE(path);
    EXPECT_EQ(path->Command, pcLoad);
    EXPECT_EQ(path->FileName, "/p/b/n/s/l/w/c/plu.txt");

    const std::optional<TPluParameters> clear = ParsePluParameters(TParameters{"/p1", "/b9600", "/n1", "/c"});
    ASSERT_TRUE(clear);
    EXPECT_EQ(clear->Command, pcClear);
}

TEST(ParsePluParameters, RefusesInvalidCombinationsAndValues)
{
    const TParameters cases[] = {
        {"/b9600", "/n1", "/c"},                       // no /p
        {"/p1", "/n1", "/c"},                          // no /b
        {"/p1", "/b9600", "/c"},                       // no /n
        {"/p1", "/b9600", "/n1"},                      // no command
        {"/p1", "/b9600", "/n1", "/lplu.txt"},         // /l without /s
        {"/p1", "/b9600", "/n1", "/w"},                // /w without /s
        {"/p1", "/b9600", "/n1", "/s59", "/l", "/w"},  // two commands
        {"/P1", "/b9600", "/n1", "/c"},
        {"x/p5", "/b9600", "/n1", "/c"},
        {"/p", "/b9600", "/n1", "/c"},  // an empty value is no integer
        {"/p1", "/b9600.0", "/n1", "/c"},
        {"/p1", "/b9600", "/n1", "/sx", "/c"},  // /s with /c must still be an integer
        {"/p0", "/b9600", "/n1", "/c"},         // outside the library's ports 1..32
        {"/p33", "/b9600", "/n1", "/c"},
        {"/p-1", "/b9600", "/n1", "/c"},
        {"/p1", "/b9600", "/n0", "/c"},  // outside the network numbers 1..99
        {"/p1", "/b9600", "/n100", "/c"},
        {"/p1", "/b-9600", "/n1", "/c"},  // no line speed
        {"/p1", "/b0", "/n1", "/c"},
        // Codes that cannot separate fields, with any command.
        {"/p1", "/b9600", "/n1", "/s0", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s13", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s10", "/wplu.txt"},
        {"/p1", "/b9600", "/n1", "/s32", "/wplu.txt"},
        {"/p1", "/b9600", "/n1", "/s46", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s48", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s57", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s256", "/lplu.txt"},  // NUL in its low byte
        {"/p1", "/b9600", "/n1", "/s-197", "/lplu.txt"},
        {"/p1", "/b9600", "/n1", "/s0", "/c"},
    };
    for (const TParameters& parameters : cases) {
        std::string line;
        for (const std::string& parameter : parameters) {
            line += parameter + " ";
        }
        EXPECT_EQ(ParsePluParameters(parameters), std::nullopt) << line;
    }
}

TEST(ParsePluParameters, TakesTheFirstOfARepeatedSwitchAndAllowsSeparatorWithClear)
{
    const std::optional<TPluParameters> parameters =
        ParsePluParameters(TParameters{"/p3", "/p5", "/b9600", "/n1", "/s59", "/c", "/cx"});
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->PortNumber, 3);
    EXPECT_EQ(parameters->Command, pcClear);
}

}  // namespace
}  // namespace zarvik12m
