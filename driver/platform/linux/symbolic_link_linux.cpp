#include "driver/platform/symbolic_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>

namespace zarvik12m {

namespace {

[[noreturn]] void ThrowSystemError(int error, const std::string& path)
{
    throw std::system_error(error, std::generic_category(), path);
}

}  // namespace

void PlaceSymbolicLink(const std::string& path, const std::string& target)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && !S_ISLNK(status.st_mode)) {
        ThrowSystemError(EEXIST, path);
    }
    const std::string temporary = path + ".new" + std::to_string(getpid());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        ThrowSystemError(errno, temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        static_cast<void>(unlink(temporary.c_str()));
        ThrowSystemError(error, path);
    }
}

void RemoveSymbolicLink(const std::string& path, const std::string& target) noexcept
{
    char found[4096] = {};
    const ssize_t length = readlink(path.c_str(), found, sizeof found - 1);
    if (length >= 0 && std::string_view(found, static_cast<std::size_t>(length)) == target) {
        static_cast<void>(unlink(path.c_str()));
    }
}

}  // namespace zarvik12m
