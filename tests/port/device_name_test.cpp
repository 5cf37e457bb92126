#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "driver/platform/device_path.h"
#include "driver/port/device_name.h"
#include "tests/support/pseudo_terminal.h"

namespace zarvik12m {
namespace {

TEST(DeviceName, ShortFormUpToNineNamespaceFormFromTen)
{
    struct TCase {
        std::uint8_t Port;
        const char* Name;
    };
    for (const TCase& c : {TCase{0, "COM0"}, TCase{1, "COM1"}, TCase{9, "COM9"}, TCase{10, R"(\\.\COM10)"},
                           TCase{255, R"(\\.\COM255)"}}) {
        EXPECT_EQ(DeviceName(c.Port), c.Name) << int{c.Port};
    }
}

TEST(DeviceName, ResolvesToTheSerialDeviceOfTheSameIndexByDefault)
{
    struct TCase {
        const char* Name;
        const char* Path;
    };
    for (const TCase& c : {TCase{"COM1", "/dev/ttyS0"}, TCase{"COM9", "/dev/ttyS8"},
                           TCase{R"(\\.\COM10)", "/dev/ttyS9"}, TCase{R"(\\.\COM255)", "/dev/ttyS254"},
                           TCase{"COM0", ""}, TCase{"LPT1", ""}, TCase{"COM", ""}, TCase{"COM1x", ""}}) {
        const std::string variable = std::string("ZARVIK12M_") + (c.Name[0] == '\\' ? c.Name + 4 : c.Name);
        unsetenv(variable.c_str());
        EXPECT_EQ(ResolveDevicePath(c.Name), c.Path) << c.Name;
    }
}

TEST(DeviceName, EnvironmentVariableNamesTheDevice)
{
    {
        const testing::TPortVariable variable(10, "/dev/ttyUSB3");
        EXPECT_EQ(ResolveDevicePath(DeviceName(10)), "/dev/ttyUSB3");
        EXPECT_EQ(ResolveDevicePath("COM10"), "/dev/ttyUSB3");
    }
    {
        const testing::TPortVariable variable(2, "");  // set but empty: as if unset
        EXPECT_EQ(ResolveDevicePath(DeviceName(2)), "/dev/ttyS1");
    }
    const testing::TPortVariable variable(0, "/dev/ttyACM0");
    EXPECT_EQ(ResolveDevicePath(DeviceName(0)), "/dev/ttyACM0");
}

}  // namespace
}  // namespace zarvik12m
