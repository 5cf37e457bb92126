// The one policy that turns a COM device name and its ZARVIK12M_COM<N>
// variable into the device opened, under the rules of either system.

#include <gtest/gtest.h>

#include "driver/platform/device_path.h"

namespace zarvik12m {
namespace {

struct TPathCase {
    const char* Name;
    const char* Configured;  // the variable's value; nullptr: unset
    const char* Path;
};

TEST(DevicePath, WindowsOpensTheVariablesDeviceElseThePortsOwnName)
{
    for (const TPathCase& c : {
             TPathCase{"COM3", nullptr, "COM3"}, TPathCase{R"(\\.\COM32)", nullptr, R"(\\.\COM32)"},
             TPathCase{"COM3", "", "COM3"},  // set but empty: as if unset
             TPathCase{"COM1", "COM7", "COM7"}, TPathCase{R"(\\.\COM32)", "COM7", "COM7"},
             TPathCase{"COM1", "COM9", "COM9"},
             // Without the prefix Windows would look for a file COM12.
             TPathCase{"COM1", "COM12", R"(\\.\COM12)"}, TPathCase{"COM1", "com12", R"(\\.\com12)"},
             TPathCase{"COM1", R"(\\.\COM12)", R"(\\.\COM12)"},
             TPathCase{"COM1", R"(\\.\CNCA0)", R"(\\.\CNCA0)"},  // any device name, as it is
             TPathCase{"COM1", "COM1X", "COM1X"},
             TPathCase{"LPT1", "COM7", "LPT1"},  // not a COM name: the variable plays no part
         }) {
        EXPECT_EQ(DevicePathFor(c.Name, c.Configured, dnWindows), c.Path)
            << c.Name << " " << (c.Configured != nullptr ? c.Configured : "-");
    }
}

TEST(DevicePath, LinuxOpensTheVariablesFileElseTheSerialDeviceOfTheSameIndex)
{
    for (const TPathCase& c : {
             TPathCase{"COM1", nullptr, "/dev/ttyS0"},
             TPathCase{R"(\\.\COM255)", nullptr, "/dev/ttyS254"},
             TPathCase{"COM3", "", "/dev/ttyS2"},
             TPathCase{"COM1", "/dev/ttyUSB0", "/dev/ttyUSB0"},
             TPathCase{"COM1", "COM12", "COM12"},  // a Windows name is no rule on Linux
             TPathCase{"COM0", nullptr, ""},
             TPathCase{"COM0", "/dev/ttyACM0", "/dev/ttyACM0"},
             TPathCase{"COM", nullptr, ""},
             TPathCase{"COM1x", nullptr, ""},
             TPathCase{"LPT1", "/dev/ttyS0", ""},
         }) {
        EXPECT_EQ(DevicePathFor(c.Name, c.Configured, dnLinux), c.Path)
            << c.Name << " " << (c.Configured != nullptr ? c.Configured : "-");
    }
    EXPECT_EQ(DeviceVariableName("COM1"), "ZARVIK12M_COM1");
    EXPECT_EQ(DeviceVariableName(R"(\\.\COM10)"), "ZARVIK12M_COM10");
    EXPECT_EQ(DeviceVariableName("LPT1"), "");
}

}  // namespace
}  // namespace zarvik12m
