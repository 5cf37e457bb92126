#include "driver/platform/file_error.h"

#include <cerrno>

namespace zarvik12m {

std::string FileErrorMessage(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return "File not found";
    case ENOTDIR:
        return "Path not found";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return "File access denied";
    case ENOSPC:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errorNumber);
    }
}

}  // namespace zarvik12m
