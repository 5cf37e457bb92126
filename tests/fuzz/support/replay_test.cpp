// Runs every saved input of one fuzz target through it: the seeds of
// corpus/ and the finds of regressions/. A broken property aborts the
// process, so each input is a test of its own.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace zarvik12m::fuzz {

// The target's folder, named by the one-line source its test is built with.
extern const char* const InputsFolder;

namespace {

const std::filesystem::path Inputs = InputsFolder;

// The saved inputs as folder/name, below the target's folder.
std::vector<std::string> SavedInputs()
{
    std::vector<std::string> inputs;
    for (const char* folder : {"corpus", "regressions"}) {
        if (!std::filesystem::is_directory(Inputs / folder)) {
            continue;
        }
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(Inputs / folder)) {
            if (entry.is_regular_file()) {
                inputs.push_back(std::string(folder) + "/" + entry.path().filename().string());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::string TestNameOf(const testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name;
}

class FuzzReplay : public testing::TestWithParam<std::string> {};

TEST_P(FuzzReplay, KeepsItsProperties)
{
    std::ifstream file(Inputs / GetParam(), std::ios::binary);
    ASSERT_TRUE(file) << Inputs / GetParam();
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    EXPECT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
}

INSTANTIATE_TEST_SUITE_P(SavedInputs, FuzzReplay, testing::ValuesIn(SavedInputs()), TestNameOf);

TEST(FuzzReplayInputs, AreThere)
{
    EXPECT_FALSE(SavedInputs().empty()) << Inputs;
}

}  // namespace
}  // namespace zarvik12m::fuzz
