#pragma once

#include <cstdint>
#include <string_view>

namespace zarvik12m {

// The error log, in the folder of ZARVIK12M_LOG_DIR or the current one
// (log_folder.h).
inline constexpr const char* ErrorLogFileName = "LogError.txt";

// Appends one line to LogError.txt, a regular file (made when missing;
// anything else of that name is left alone and the line lost): the local date and time, " [ErrorCode",
// the code, "] ", the message and CR LF. Appends of all threads are
// serialised. A log that cannot be opened or written loses the line and
// nothing else: the error being built is never replaced by the log's own.
void AppendErrorLog(std::int16_t code, std::string_view message) noexcept;

}  // namespace zarvik12m
