#include "driver/platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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

namespace {

// A regular file's descriptor for appending, from one opened only as a
// path: reopened through /proc, which never follows a link again; where
// /proc is missing, the name is opened again and must lead to the same
// file.
int ReopenForAppending(int pathDescriptor, const struct stat& status, const std::string& fileName) noexcept
{
    constexpr int Flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const std::string own = "/proc/self/fd/" + std::to_string(pathDescriptor);
    int descriptor = ::open(own.c_str(), Flags);
    if (descriptor < 0 && errno == ENOENT) {
        descriptor = ::open(fileName.c_str(), Flags);
        struct stat reopened {};
        if (descriptor >= 0 && (::fstat(descriptor, &reopened) != 0 || reopened.st_dev != status.st_dev ||
                                reopened.st_ino != status.st_ino)) {
            ::close(descriptor);
            errno = EAGAIN;
            return -1;
        }
    }
    return descriptor;
}

}  // namespace

TFileHandle OpenFileForAppending(const std::string& fileName, int& error) noexcept
{
    // Looked at as a path first, so that a pipe or a device is never opened
    // for writing (which could block, or wake a device up). The kernel
    // follows a link here only where its link protection lets this user.
    // A file made by someone else between the look and the creation is
    // looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int path = ::open(fileName.c_str(), O_PATH | O_CLOEXEC);
        if (path >= 0) {
            struct stat status {};
            int descriptor = -1;
            if (::fstat(path, &status) != 0) {
                error = errno;
            } else if (!S_ISREG(status.st_mode)) {
                error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
            } else {
                descriptor = ReopenForAppending(path, status, fileName);
                error = descriptor < 0 ? errno : 0;
            }
            ::close(path);
            return TFileHandle(descriptor < 0 ? NoFile : TNativeFile{descriptor});
        }
        if (errno != ENOENT) {
            error = errno;
            return {};
        }
        // Missing: made here, never through a link that leads nowhere.
        const int made =
            ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
        if (made >= 0) {
            error = 0;
            return TFileHandle(TNativeFile{made});
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
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
