#include "driver/platform/system_error.h"

#include <utility>

namespace zarvik12m {

TSystemError SystemErrorOf(int code, TErrorKind kind)
{
    TSystemError error = SystemErrorOf(code);
    error.Kind = kind;
    return error;
}

const char* ErrorKindName(TErrorKind kind) noexcept
{
    switch (kind) {
    case TErrorKind::NotFound:
        return "not found";
    case TErrorKind::Busy:
        return "busy";
    case TErrorKind::Denied:
        return "denied";
    case TErrorKind::NotSerial:
        return "not a serial device";
    case TErrorKind::TimedOut:
        return "timed out";
    case TErrorKind::Closed:
        return "closed";
    case TErrorKind::Other:
        break;
    }
    return "other";
}

std::string DescribeSystemError(const TSystemError& error)
{
    std::string text = ErrorKindName(error.Kind);
    text += " (" + std::to_string(error.Code);
    if (!error.Text.empty()) {
        text += ": " + error.Text;
    }
    text += ')';
    return text;
}

bool TLastError::Fail(TSystemError error)
{
    const std::lock_guard guard(FLock);
    FError = std::move(error);
    return false;
}

bool TLastError::FailWithLastSystemError()
{
    return Fail(LastSystemError());
}

bool TLastError::FailWithLastSystemErrorQuietly() noexcept
{
    const int code = LastSystemErrorCode();
    try {
        return Fail(SystemErrorOf(code));
    } catch (...) {
        const std::lock_guard guard(FLock);
        FError.Kind = ErrorKindOf(code);
        FError.Code = code;
        FError.Text.clear();
    }
    return false;
}

TSystemError TLastError::Get() const
{
    const std::lock_guard guard(FLock);
    return FError;
}

}  // namespace zarvik12m
