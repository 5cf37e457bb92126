#include <cstdint>

#include <gtest/gtest.h>

#include "driver/interface/progress.h"
#include "driver/platform/dynamic_library.h"
#include "tests/support/temp_directory.h"
#include "zarvik12m/error.h"
#include "zarvik12m/progress.h"

namespace zarvik12m {
namespace {

TEST(Progress, StepsAndResets)
{
    ResetProgress(5);
    SetProgressMax(5, 4000);
    StepProgress(5, 1);
    StepProgress(5, 1);
    EXPECT_EQ(ProgressPositionOf(5), 2);
    EXPECT_EQ(ProgressMaxOf(5), 4000);
    ResetProgress(5);
    EXPECT_EQ(ProgressPositionOf(5), 0);
    EXPECT_EQ(ProgressMaxOf(5), 0);
}

TEST(Progress, AStopMakesEveryStepRaiseUntilReset)
{
    const testing::TScratchDirectory scratch;
    ResetProgress(1);
    SetProgressMax(1, 100);
    StepProgress(1, 1);
    RequestProgressStop(1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            StepProgress(1, 1);
            FAIL() << "no error";
        } catch (const EZarvik12mError& error) {
            EXPECT_EQ(error.ErrorCode(), -300);
        }
    }
    EXPECT_EQ(ProgressPositionOf(1), 1);  // a refused step changes nothing
    ResetProgress(1);                     // a stop before the operation is discarded
    EXPECT_NO_THROW(StepProgress(1, 1));
}

TEST(Progress, PortsAreIndependent)
{
    const testing::TScratchDirectory scratch;
    ResetProgress(1);
    ResetProgress(2);
    RequestProgressStop(2);
    EXPECT_NO_THROW(StepProgress(1, 3));
    EXPECT_THROW(StepProgress(2, 1), EZarvik12mError);
    EXPECT_EQ(ProgressPositionOf(1), 3);
    EXPECT_EQ(ProgressPositionOf(2), 0);
    ResetProgress(32);
    StepProgress(32, 7);
    EXPECT_EQ(ProgressPositionOf(32), 7);
}

TEST(Progress, PortsWithoutASlotAreIgnored)
{
    for (const int port : {0, 33, 100, 255}) {
        const auto number = static_cast<std::uint8_t>(port);
        ResetProgress(number);
        SetProgressMax(number, 10);
        RequestProgressStop(number);
        EXPECT_NO_THROW(StepProgress(number, 1));
        EXPECT_EQ(ProgressPositionOf(number), 0);
        EXPECT_EQ(ProgressMaxOf(number), 0);
    }
}

// The exports as a caller binds them.
class ProgressExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FLibrary.Loaded()) << FLibrary.LastError().Text;
        FGetPosition = reinterpret_cast<TGetProgressPosition>(FLibrary.Bind(GetProgressPositionExportName));
        FGetMax = reinterpret_cast<TGetProgressMax>(FLibrary.Bind(GetProgressMaxExportName));
        FStop = reinterpret_cast<TProgressProcessStop>(FLibrary.Bind(ProgressProcessStopExportName));
        ASSERT_NE(FGetPosition, nullptr);
        ASSERT_NE(FGetMax, nullptr);
        ASSERT_NE(FStop, nullptr);
    }

    TDynamicLibrary FLibrary{ZARVIK12M_LIBRARY_PATH};
    TGetProgressPosition FGetPosition = nullptr;
    TGetProgressMax FGetMax = nullptr;
    TProgressProcessStop FStop = nullptr;
};

TEST_F(ProgressExports, StartAtZeroForEveryPort)
{
    for (int port = 0; port <= 255; ++port) {
        EXPECT_EQ(FGetPosition(static_cast<std::uint8_t>(port)), 0);
        EXPECT_EQ(FGetMax(static_cast<std::uint8_t>(port)), 0);
    }
}

TEST_F(ProgressExports, StopOfAPortWithoutASlotChangesNothing)
{
    FStop(0);
    FStop(33);
    FStop(255);
    for (int port = 0; port <= 255; ++port) {
        EXPECT_EQ(FGetPosition(static_cast<std::uint8_t>(port)), 0);
    }
}

}  // namespace
}  // namespace zarvik12m
