// The Linux table behind TSystemError: each errno that a device, a
// connection or a file answers, with the kind the port and the tools decide
// by, and the one-line description the traces carry.

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "driver/platform/system_error.h"

namespace zarvik12m {
namespace {

TEST(SystemError, EveryErrnoOfTheDeviceAndTheConnectionHasItsKind)
{
    const struct {
        int Code;
        TErrorKind Kind;
    } table[] = {
        {ENOENT, TErrorKind::NotFound},
        {ENOTDIR, TErrorKind::NotFound},
        {EBUSY, TErrorKind::Busy},
        {ETXTBSY, TErrorKind::Busy},
        {EACCES, TErrorKind::Denied},
        {EPERM, TErrorKind::Denied},
        {EROFS, TErrorKind::Denied},
        {ENXIO, TErrorKind::NotSerial},
        {ENODEV, TErrorKind::NotSerial},
        {ENOTTY, TErrorKind::NotSerial},
        {ETIMEDOUT, TErrorKind::TimedOut},
        {EBADF, TErrorKind::Closed},
        {EPIPE, TErrorKind::Closed},
        {ECONNRESET, TErrorKind::Closed},
        {ECONNABORTED, TErrorKind::Closed},
        {ENOTCONN, TErrorKind::Closed},
        {ESHUTDOWN, TErrorKind::Closed},
        {EIO, TErrorKind::Other},
        {EINVAL, TErrorKind::Other},
        {ECONNREFUSED, TErrorKind::Other},
        {EPROTO, TErrorKind::Other},
        {EAGAIN, TErrorKind::Other},
        {0, TErrorKind::Other},
        {99999, TErrorKind::Other},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Code);
        EXPECT_EQ(ErrorKindOf(row.Code), row.Kind);
        const TSystemError error = SystemErrorOf(row.Code);
        EXPECT_EQ(error.Kind, row.Kind);
        EXPECT_EQ(error.Code, row.Code);
        EXPECT_FALSE(error.Text.empty());
    }
    // The context knows better: EIO at an open is no serial line there.
    EXPECT_EQ(SystemErrorOf(EIO, TErrorKind::NotSerial).Kind, TErrorKind::NotSerial);
    EXPECT_EQ(SystemErrorOf(EIO, TErrorKind::NotSerial).Text, SystemErrorOf(EIO).Text);

    errno = EACCES;
    const TSystemError last = LastSystemError();
    EXPECT_EQ(last.Kind, TErrorKind::Denied);
    EXPECT_EQ(last.Code, EACCES);
}

TEST(SystemError, DescriptionAndTheLastErrorOfAnObject)
{
    EXPECT_EQ(DescribeSystemError({TErrorKind::Busy, EBUSY, "Device or resource busy"}),
              "busy (" + std::to_string(EBUSY) + ": Device or resource busy)");
    EXPECT_EQ(DescribeSystemError({TErrorKind::NotSerial, 0, ""}), "not a serial device (0)");

    TLastError last;
    EXPECT_EQ(last.Get().Code, 0);
    EXPECT_FALSE(last.Fail(SystemErrorOf(ENOENT)));
    errno = EPIPE;
    EXPECT_FALSE(last.FailWithLastSystemErrorQuietly());
    EXPECT_EQ(last.Get().Kind, TErrorKind::Closed);
    EXPECT_EQ(last.Get().Text, SystemErrorOf(EPIPE).Text);
}

}  // namespace
}  // namespace zarvik12m
