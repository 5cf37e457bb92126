// Interrupt requests held back while a temporary file lives, each case in a
// child process of its own: the signals' handling is the process's.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "driver/platform/file_system.h"
#include "driver/platform/interrupt_requests.h"
#include "tests/support/temp_directory.h"

namespace zarvik12m {
namespace {

// The signal that ended the child, or 0 when it exited.
int EndingSignal(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

TEST(InterruptDeferral, ARequestIsDeliveredWhenTheDeferralEnds)
{
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ends[0]);
            {
                const TInterruptDeferral deferral;
                ::raise(signalNumber);
                static_cast<void>(::write(ends[1], "d", 1));  // still running
            }
            ::_exit(0);
        }
        ::close(ends[1]);
        char byte = 0;
        EXPECT_EQ(::read(ends[0], &byte, 1), 1) << signalNumber;
        ::close(ends[0]);
        EXPECT_EQ(EndingSignal(child), signalNumber);
    }
}

TEST(ReplaceFileContent, ATerminatedReplacementLeavesNoTemporaryFile)
{
    const testing::TTempDirectory directory;
    const std::filesystem::path target = directory.Path() / "plu.txt";
    // The signal comes while the child keeps replacing the file, most
    // likely while a temporary file of several megabytes is being written.
    for (int round = 0; round < 3; ++round) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ends[0]);
            try {
                for (char fill = 'a';; fill = fill == 'a' ? 'b' : 'a') {
                    ReplaceFileContent(target.string(), std::string(std::size_t{4} << 20U, fill));
                    static_cast<void>(::write(ends[1], "r", 1));
                }
            } catch (...) {
                ::_exit(2);
            }
        }
        ::close(ends[1]);
        char byte = 0;
        ASSERT_EQ(::read(ends[0], &byte, 1), 1);
        ASSERT_EQ(::kill(child, SIGTERM), 0);
        EXPECT_EQ(EndingSignal(child), SIGTERM);
        ::close(ends[0]);

        std::size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory.Path())) {
            EXPECT_EQ(entry.path(), target);
            ++entries;
        }
        EXPECT_EQ(entries, 1U);
        const std::string content = testing::ReadFileBytes(target);
        ASSERT_EQ(content.size(), std::size_t{4} << 20U);
        EXPECT_EQ(content.find_first_not_of(content.front()), std::string::npos);
    }
}

}  // namespace
}  // namespace zarvik12m
