#include "driver/platform/system_error.h"

// Winsock before windows.h, which would bring the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include "driver/platform/win32/system_error_text_win32.h"

namespace zarvik12m {

TErrorKind ErrorKindOf(int code) noexcept
{
    switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_MOD_NOT_FOUND:
    case ERROR_PROC_NOT_FOUND:
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:
        return TErrorKind::NotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
    case ERROR_PIPE_BUSY:
        return TErrorKind::Busy;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case WSAEACCES:
        return TErrorKind::Denied;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return TErrorKind::NotSerial;
    case ERROR_TIMEOUT:
    case ERROR_SEM_TIMEOUT:
    case WAIT_TIMEOUT:
    case WSAETIMEDOUT:
        return TErrorKind::TimedOut;
    case ERROR_INVALID_HANDLE:
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
        return TErrorKind::Closed;
    default:
        return TErrorKind::Other;
    }
}

TSystemError SystemErrorOf(int code)
{
    return {ErrorKindOf(code), code, SystemErrorText(static_cast<DWORD>(code))};
}

int LastSystemErrorCode() noexcept
{
    return static_cast<int>(GetLastError());
}

TSystemError LastSystemError()
{
    return SystemErrorOf(LastSystemErrorCode());
}

}  // namespace zarvik12m
