// The Windows line record and device names as the port hands them to the
// system: every field of the DCB that SetCommState gets, and the COM
// device that a ZARVIK12M_COM<N> variable of the process names.

#include <windows.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "driver/platform/device_path.h"
#include "driver/platform/serial_device.h"
#include "driver/platform/win32/serial_device_line_win32.h"

namespace zarvik12m {
namespace {

TEST(Win32LineRecord, IsTheDriversLineAndOtherwiseAZeroedRecordThatEveryDriverAccepts)
{
    for (const std::uint32_t rate : {115200U, 9600U, 250000U}) {
        const DCB line = serial_device::ComposeLineRecord(rate, spNone, 8, sbOne);
        // What serial drivers check: the length, binary mode, distinct
        // XON and XOFF characters.
        EXPECT_EQ(line.DCBlength, sizeof(DCB));
        EXPECT_EQ(line.fBinary, 1U);
        EXPECT_EQ(line.XonChar, 0x11);
        EXPECT_EQ(line.XoffChar, 0x13);
        // The settings as they were given.
        EXPECT_EQ(line.BaudRate, rate);
        EXPECT_EQ(line.ByteSize, 8);
        EXPECT_EQ(line.Parity, NOPARITY);
        EXPECT_EQ(line.StopBits, ONESTOPBIT);
        // No parity check, no flow control of any kind, DTR and RTS held
        // inactive, no character replacement, no abort on error.
        EXPECT_EQ(line.fParity, 0U);
        EXPECT_EQ(line.fOutxCtsFlow, 0U);
        EXPECT_EQ(line.fOutxDsrFlow, 0U);
        EXPECT_EQ(line.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(line.fDsrSensitivity, 0U);
        EXPECT_EQ(line.fTXContinueOnXoff, 0U);
        EXPECT_EQ(line.fOutX, 0U);
        EXPECT_EQ(line.fInX, 0U);
        EXPECT_EQ(line.fErrorChar, 0U);
        EXPECT_EQ(line.fNull, 0U);
        EXPECT_EQ(line.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
        EXPECT_EQ(line.fAbortOnError, 0U);
        EXPECT_EQ(line.fDummy2, 0U);
        EXPECT_EQ(line.wReserved, 0);
        EXPECT_EQ(line.XonLim, 0);
        EXPECT_EQ(line.XoffLim, 0);
        EXPECT_EQ(line.ErrorChar, 0);
        EXPECT_EQ(line.EofChar, 0);
        EXPECT_EQ(line.EvtChar, 0);
        EXPECT_EQ(line.wReserved1, 0);
    }
    // Other codes pass unchanged; the device judges them.
    const DCB other = serial_device::ComposeLineRecord(4800, spEven, 7, sbTwo);
    EXPECT_EQ(other.Parity, EVENPARITY);
    EXPECT_EQ(other.ByteSize, 7);
    EXPECT_EQ(other.StopBits, TWOSTOPBITS);
    EXPECT_EQ(other.fParity, 0U);
}

// Sets a variable of this process for the object's lifetime.
class TProcessVariable {
public:
    TProcessVariable(const char* name, const char* value) : FName(name) { _putenv_s(name, value); }
    ~TProcessVariable() { _putenv_s(FName.c_str(), ""); }
    TProcessVariable(const TProcessVariable&) = delete;
    TProcessVariable& operator=(const TProcessVariable&) = delete;

private:
    std::string FName;
};

TEST(Win32DeviceNames, TheVariableOfAPortNamesTheComDeviceOpened)
{
    EXPECT_EQ(ResolveDevicePath("COM1"), "COM1");
    {
        const TProcessVariable variable("ZARVIK12M_COM1", "COM12");
        EXPECT_EQ(ResolveDevicePath("COM1"), R"(\\.\COM12)");
        EXPECT_EQ(ResolveDevicePath("COM2"), "COM2");
    }
    EXPECT_EQ(ResolveDevicePath("COM1"), "COM1");
    const TProcessVariable variable("ZARVIK12M_COM10", "COM3");
    EXPECT_EQ(ResolveDevicePath(R"(\\.\COM10)"), "COM3");
}

}  // namespace
}  // namespace zarvik12m
