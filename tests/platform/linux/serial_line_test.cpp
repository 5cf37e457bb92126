// How the serial device's line settings become a termios record, checked
// on the record alone.
#include <termios.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "driver/platform/linux/serial_device_line.h"
#include "driver/platform/serial_device.h"

namespace zarvik12m {
namespace {

TEST(SerialDeviceLine, ComposesRawLinesOfEveryValidShape)
{
    struct TCase {
        std::uint8_t Parity;
        std::uint8_t ByteSize;
        std::uint8_t StopBits;
        tcflag_t Flags;
    };
    const TCase cases[] = {
        {spNone, 8, sbOne, CS8},
        {spOdd, 7, sbOne, CS7 | PARENB | PARODD},
        {spEven, 8, sbTwo, CS8 | PARENB | CSTOPB},
        {spMark, 8, sbOne, CS8 | PARENB | PARODD | CMSPAR},
        {spSpace, 6, sbTwo, CS6 | PARENB | CMSPAR | CSTOPB},
        {spNone, 5, sbOneAndHalf, CS5 | CSTOPB},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << int{c.Parity} << '/' << int{c.ByteSize} << '/' << int{c.StopBits});
        termios line{};
        cfmakeraw(&line);
        line.c_iflag = ICRNL | IXON;
        line.c_lflag = ICANON | ECHO;
        line.c_cc[VMIN] = 1;
        ASSERT_TRUE(serial_device::ComposeRawLine(c.Parity, c.ByteSize, c.StopBits, line));
        EXPECT_EQ(line.c_cflag, c.Flags | CREAD | CLOCAL);
        EXPECT_EQ(line.c_iflag, 0U);
        EXPECT_EQ(line.c_oflag, 0U);
        EXPECT_EQ(line.c_lflag, 0U);
        EXPECT_EQ(line.c_cc[VMIN], 0);
        EXPECT_EQ(line.c_cc[VTIME], 0);
    }
}

TEST(SerialDeviceLine, RefusesShapesNoLineHas)
{
    struct TCase {
        std::uint8_t Parity;
        std::uint8_t ByteSize;
        std::uint8_t StopBits;
    };
    for (const TCase& c : {TCase{5, 8, sbOne}, TCase{spNone, 4, sbOne}, TCase{spNone, 9, sbOne},
                           TCase{spNone, 8, sbOneAndHalf}, TCase{spNone, 5, sbTwo}, TCase{spNone, 8, 3}}) {
        termios line{};
        line.c_cflag = CS7;
        EXPECT_FALSE(serial_device::ComposeRawLine(c.Parity, c.ByteSize, c.StopBits, line))
            << int{c.Parity} << '/' << int{c.ByteSize} << '/' << int{c.StopBits};
        EXPECT_EQ(line.c_cflag, tcflag_t{CS7});
    }
    speed_t speed = B0;
    EXPECT_TRUE(serial_device::StandardSpeed(115200, speed));
    EXPECT_EQ(speed, speed_t{B115200});
    EXPECT_FALSE(serial_device::StandardSpeed(12345, speed));
}

}  // namespace
}  // namespace zarvik12m
