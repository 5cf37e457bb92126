#pragma once

#include <stdexcept>
#include <string>

// Failures of the PLU file's work, with the short English messages that
// users of the utility know from its file layer: "File not found", "File
// access denied", "Disk full", "I/O error %d" and the like. Error codes are
// the system's own: errno on Linux, GetLastError on Windows.

namespace zarvik12m {

class EFileError : public std::runtime_error {
public:
    // The message of a system error code.
    explicit EFileError(int errorNumber);
    // A message of its own (such as "Path not found" where the error number
    // alone does not tell it).
    EFileError(int errorNumber, const std::string& message);

    [[nodiscard]] int ErrorNumber() const noexcept { return FErrorNumber; }

private:
    int FErrorNumber;
};

// The message of a system error code (one table per system).
std::string FileErrorMessage(int errorNumber);

}  // namespace zarvik12m
