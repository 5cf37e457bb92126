#include "driver/platform/file_error.h"

#include <windows.h>

namespace zarvik12m {

std::string FileErrorMessage(int errorNumber)
{
    switch (static_cast<DWORD>(errorNumber)) {
    case ERROR_FILE_NOT_FOUND:
        return "File not found";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return "Path not found";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "Too many open files";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return "File access denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errorNumber);
    }
}

}  // namespace zarvik12m
