#include "driver/platform/file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zarvik12m {

namespace {

int Descriptor(TNativeFile file) noexcept
{
    return static_cast<int>(file);
}

}  // namespace

int CloseNativeFile(TNativeFile file) noexcept
{
    // Linux frees the descriptor also when close fails.
    const int result = ::close(Descriptor(file));
    return result == 0 || errno == EINTR ? 0 : errno;
}

int WriteAllBytes(TNativeFile file, std::string_view bytes) noexcept
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(Descriptor(file), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

std::size_t ReadSomeBytes(TNativeFile file, char* buffer, std::size_t size, int& error) noexcept
{
    error = 0;
    for (;;) {
        const ssize_t count = ::read(Descriptor(file), buffer, size);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            error = errno;
            return 0;
        }
    }
}

TFileHandle OpenFileForAppending(const std::string& fileName, int& error) noexcept
{
    const int descriptor = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    error = descriptor < 0 ? errno : 0;
    return TFileHandle(descriptor < 0 ? NoFile : TNativeFile{descriptor});
}

TNativeFile StandardInput() noexcept
{
    return STDIN_FILENO;
}

TNativeFile StandardOutput() noexcept
{
    return STDOUT_FILENO;
}

TNativeFile StandardError() noexcept
{
    return STDERR_FILENO;
}

}  // namespace zarvik12m
