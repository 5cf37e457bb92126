#include "driver/common/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "driver/common/date_time.h"

namespace zarvik12m {

namespace {

std::mutex& ErrorLogLock()
{
    static std::mutex lock;
    return lock;
}

void WriteWhole(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

void AppendErrorLog(std::int16_t code, std::string_view message) noexcept
{
    try {
        std::string line = DateTimeToText(Now());
        line += " [ErrorCode";
        line += std::to_string(code);
        line += "] ";
        line += message;
        line += "\r\n";

        const std::lock_guard guard(ErrorLogLock());
        const int descriptor = ::open(ErrorLogFileName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            return;
        }
        WriteWhole(descriptor, line);
        ::close(descriptor);
    } catch (...) {  // NOLINT(bugprone-empty-catch): a lost log line never replaces the error itself
    }
}

}  // namespace zarvik12m
