#include "driver/platform/file_system.h"

#include "driver/platform/file_error.h"

namespace zarvik12m {

std::size_t ReadFileBytes(TNativeFile file, char* buffer, std::size_t size)
{
    int error = 0;
    const std::size_t count = ReadSomeBytes(file, buffer, size, error);
    if (error != 0) {
        throw EFileError(error);
    }
    return count;
}

void WriteEveryByte(TNativeFile file, std::string_view bytes)
{
    const int error = WriteAllBytes(file, bytes);
    if (error != 0) {
        throw EFileError(error);
    }
}

}  // namespace zarvik12m
