#include <array>
#include <cerrno>
#include <cstring>

#include "driver/platform/system_error.h"

namespace zarvik12m {

TErrorKind ErrorKindOf(int code) noexcept
{
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return TErrorKind::NotFound;
    case EBUSY:
    case ETXTBSY:
        return TErrorKind::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
        return TErrorKind::Denied;
    case ENXIO:
    case ENODEV:
    case ENOTTY:
        return TErrorKind::NotSerial;
    case ETIMEDOUT:
        return TErrorKind::TimedOut;
    case EBADF:
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ESHUTDOWN:
        return TErrorKind::Closed;
    default:
        return TErrorKind::Other;
    }
}

TSystemError SystemErrorOf(int code)
{
    std::array<char, 256> buffer{};
    // The GNU strerror_r: the text may be a static one rather than the buffer.
    const char* text = strerror_r(code, buffer.data(), buffer.size());
    return {ErrorKindOf(code), code, text != nullptr ? std::string(text) : "error " + std::to_string(code)};
}

int LastSystemErrorCode() noexcept
{
    return errno;
}

TSystemError LastSystemError()
{
    return SystemErrorOf(LastSystemErrorCode());
}

}  // namespace zarvik12m
