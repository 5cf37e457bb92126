#pragma once

#include <cstdint>
#include <string_view>

namespace zarvik12m {

// The error log of the current directory.
inline constexpr const char* ErrorLogFileName = "LogError.txt";

// Appends one line to LogError.txt: the local date and time, " [ErrorCode",
// the code, "] ", the message and CR LF. Appends of all threads are
// serialised. A log that cannot be opened or written loses the line and
// nothing else: the error being built is never replaced by the log's own.
void AppendErrorLog(std::int16_t code, std::string_view message) noexcept;

}  // namespace zarvik12m
