// Line traces end to end: each trace of this folder replayed by
// zarvik12m-emulator --replay against the built utility and library, which
// must still do what the trace shows; and the loop a user starts, a read
// recorded with ZARVIK12M_TRACE against the emulator, that replays to the
// same file and fails loudly once the computer's side changes.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_directory.h"
#include "tests/utility/support/utility_process.h"
#include "tools/emulator/emulator.h"
#include "tools/emulator/goods_generator.h"
#include "tools/emulator/trace_file.h"

namespace zarvik12m {
namespace {

using testing::TChildProcess;
using testing::TProcessOptions;
using testing::TProcessResult;
using testing::TTempDirectory;

const std::filesystem::path Traces = ZARVIK12M_TRACES_DIRECTORY;
const std::filesystem::path SeedFolder = ZARVIK12M_FRAME_SCAN_CORPUS;
constexpr std::size_t SeedStreamLimit = 4096;

std::uint64_t Fnv1a(const std::string& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
    }
    return hash;
}

std::string SizeAndChecksum(const std::string& bytes)
{
    char checksum[17];
    static_cast<void>(
        std::snprintf(checksum, sizeof checksum, "%016llx", static_cast<unsigned long long>(Fnv1a(bytes))));
    return std::to_string(bytes.size()) + " " + checksum;
}

// The remarks "# key: value" at the head of a trace.
std::map<std::string, std::string> Remarks(const std::string& text)
{
    std::map<std::string, std::string> remarks;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line) && line.starts_with("#");) {
        const std::size_t colon = line.find(": ");
        if (line.starts_with("# ") && colon != std::string::npos && line.find(' ', 2) > colon) {
            remarks[line.substr(2, colon - 2)] = line.substr(colon + 2);
        }
    }
    return remarks;
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// zarvik12m-emulator --replay on a trace, its line ready.
class TReplayProcess {
public:
    TReplayProcess(const std::filesystem::path& trace, const std::string& speed) : FProcess(Options(trace, speed))
    {
        const bool ready =
            FProcess.WaitForOutput([](std::string_view output) { return output.find('\n') != output.npos; });
        EXPECT_TRUE(ready) << FProcess.Output();
        FLine = FProcess.Output().substr(0, FProcess.Output().find('\n'));
    }

    [[nodiscard]] const std::string& Line() const { return FLine; }

    TProcessResult Finish() { return FProcess.Finish(); }

private:
    static TProcessOptions Options(const std::filesystem::path& trace, const std::string& speed)
    {
        TProcessOptions options;
        options.Program = ZARVIK12M_EMULATOR_PATH;
        options.Arguments = {"--replay", trace.string(), "--replay-speed", speed};
        options.Environment["LC_ALL"] = "C.UTF-8";
        return options;
    }

    TChildProcess FProcess;
    std::string FLine;
};

TProcessOptions Utility(const std::vector<std::string>& arguments, const TTempDirectory& folder,
                        const std::string& line, const std::string& trace = {})
{
    TProcessOptions options = testing::UtilityOptions(arguments, folder.Path());
    options.Environment["ZARVIK12M_COM1"] = line;
    if (trace.empty()) {
        options.Environment["ZARVIK12M_TRACE"] = std::nullopt;
    } else {
        options.Environment["ZARVIK12M_TRACE"] = trace;
    }
    return options;
}

std::vector<std::string> TraceNames()
{
    std::vector<std::string> names;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(Traces)) {
        if (entry.path().extension() == ".trace") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TraceReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(TraceReplay, TheUtilityStillDoesWhatTheTraceShows)
{
    const std::filesystem::path trace = Traces / (GetParam() + ".trace");
    const std::map<std::string, std::string> remarks = Remarks(testing::ReadFileBytes(trace));
    ASSERT_TRUE(remarks.contains("utility") && remarks.contains("exit") && remarks.contains("plu")) << trace;

    const TTempDirectory folder;
    TReplayProcess replay(trace, remarks.contains("replay-speed") ? remarks.at("replay-speed") : "1");
    const TProcessResult utility = testing::RunUtility(Utility(Words(remarks.at("utility")), folder, replay.Line()));
    const TProcessResult played = replay.Finish();

    EXPECT_EQ(played.ExitCode, 0) << played.Output << played.Errors;
    EXPECT_EQ(std::to_string(utility.ExitCode), remarks.at("exit")) << utility.Output << utility.Errors;
    const std::filesystem::path plu = folder.Path() / "plu.txt";
    if (remarks.at("plu") == "none") {
        EXPECT_FALSE(std::filesystem::exists(plu));
    } else {
        EXPECT_EQ(SizeAndChecksum(testing::ReadFileBytes(plu)), remarks.at("plu"));
    }
}

// What describes a trace is its first line; the frame scanner's fuzz
// corpus starts from the register's side of every trace (the chunk sizes
// of the fuzz input up to the largest that the trace read at once, the
// stream cut at SeedStreamLimit; none where the register said nothing).
// ZARVIK12M_UPDATE_TRACE_SEEDS=1 writes
// the seeds of new or changed traces.
TEST_P(TraceReplay, IsDescribedAndSeedsTheFrameScanCorpus)
{
    const std::filesystem::path trace = Traces / (GetParam() + ".trace");
    const std::string text = testing::ReadFileBytes(trace);
    EXPECT_TRUE(text.starts_with("# ") && text.find('\n') > 12) << "a line of description first: " << trace;

    const emulator::TTrace parsed = emulator::ParseTrace(text);
    std::size_t largest = 0;
    for (const emulator::TTraceEvent& event : parsed.Events) {
        if (!event.ToRegister) {
            largest = std::max(largest, event.Bytes.size());
        }
    }
    emulator::TBytes stream = emulator::TraceStream(parsed, false);
    const std::filesystem::path seedFile = SeedFolder / ("trace_" + GetParam());
    if (stream.empty()) {
        EXPECT_FALSE(std::filesystem::exists(seedFile)) << "the register said nothing: no seed";
        return;
    }
    stream.resize(std::min(stream.size(), SeedStreamLimit));
    std::string seed;
    seed += static_cast<char>(std::min<std::size_t>(largest, 255));
    seed += '\0';
    seed.append(stream.begin(), stream.end());

    const char* update = std::getenv("ZARVIK12M_UPDATE_TRACE_SEEDS");  // NOLINT(concurrency-mt-unsafe)
    if (update != nullptr && std::string(update) == "1") {
        testing::WriteFileBytes(seedFile, seed);
    }
    EXPECT_EQ(testing::ReadFileBytes(seedFile), seed) << seedFile << ": ZARVIK12M_UPDATE_TRACE_SEEDS=1 renews it";
}

std::string TestNameOf(const ::testing::TestParamInfo<std::string>& info)
{
    return info.param;
}

INSTANTIATE_TEST_SUITE_P(Traces, TraceReplay, ::testing::ValuesIn(TraceNames()), TestNameOf);

// A user's read, recorded against a register (the emulator here), replays
// to the same file; the same read with another network number leaves the
// trace at its very first byte, and the replay says so and fails.
TEST(TraceRecording, ARecordedReadReplaysToTheSameFileAndAnotherNetworkNumberFailsAtOnce)
{
    const TTempDirectory recording;
    const std::string trace = (recording.Path() / "shop.trace").string();
    {
        emulator::TEmulatorSettings settings;
        settings.Goods = emulator::GenerateGoods(12);
        settings.Faults.ChunkSize = 20;
        const emulator::TEmulator shopRegister(settings);
        const TProcessResult read = testing::RunUtility(
            Utility({"/p1", "/b19200", "/n1", "/s59", "/lplu.txt"}, recording, shopRegister.SlavePath(), trace));
        ASSERT_EQ(read.ExitCode, 0) << read.Output << read.Errors;
    }
    const std::string recorded = testing::ReadFileBytes(recording.Path() / "plu.txt");
    ASSERT_FALSE(recorded.empty());
    EXPECT_FALSE(std::filesystem::exists(recording.Path() / "LogError.txt"));

    {
        const TTempDirectory folder;
        TReplayProcess replay(trace, "1");
        const TProcessResult read =
            testing::RunUtility(Utility({"/p1", "/b19200", "/n1", "/s59", "/lplu.txt"}, folder, replay.Line()));
        const TProcessResult played = replay.Finish();
        EXPECT_EQ(read.ExitCode, 0) << read.Output << read.Errors;
        EXPECT_EQ(played.ExitCode, 0) << played.Output << played.Errors;
        EXPECT_EQ(testing::ReadFileBytes(folder.Path() / "plu.txt"), recorded);
    }
    {
        const TTempDirectory folder;
        TReplayProcess replay(trace, "1");
        // The utility would wait out the driver's time-out; the replay's
        // verdict comes first, and the utility is ended with the test.
        const TChildProcess read(Utility({"/p1", "/b19200", "/n2", "/s59", "/lplu.txt"}, folder, replay.Line()));
        const TProcessResult played = replay.Finish();
        EXPECT_EQ(played.ExitCode, 3) << played.Output << played.Errors;
        EXPECT_NE(played.Errors.find("смещение 0 в потоке к ККМ; ожидалось: 01 02 24 00 01 D7 01 02 24 00 02 D6 "),
                  std::string::npos)
            << played.Errors;
        EXPECT_NE(played.Errors.find("; получено: 02 02 24 00 01 D6\n"), std::string::npos) << played.Errors;
    }
}

}  // namespace
}  // namespace zarvik12m
