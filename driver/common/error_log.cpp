#include "driver/common/error_log.h"

#include <mutex>
#include <string>

#include "driver/common/date_time.h"
#include "driver/common/log_folder.h"
#include "driver/platform/file.h"

namespace zarvik12m {

namespace {

std::mutex& ErrorLogLock()
{
    static std::mutex lock;
    return lock;
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
        int error = 0;
        TFileHandle log = OpenFileForAppending(LogFilePath(ErrorLogFileName), error);
        if (log.IsOpen()) {
            static_cast<void>(WriteAllBytes(log.Get(), line));
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): a lost log line never replaces the error itself
    }
}

}  // namespace zarvik12m
