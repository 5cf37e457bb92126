#pragma once

#include <stdexcept>
#include <string>

#include "driver/platform/system_error.h"

// Failures of the PLU file's work, with the short English messages that
// users of the utility know from its file layer: "File not found", "File
// access denied", "Disk full", "I/O error %d" and the like. Each carries
// the system's error (errno on Linux, GetLastError on Windows) as its kind
// and code; the message stays the file layer's own.

namespace zarvik12m {

class EFileError : public std::runtime_error {
public:
    // The message of a system error code.
    explicit EFileError(int errorNumber);
    // A message of its own (such as "Path not found" where the error number
    // alone does not tell it).
    EFileError(int errorNumber, const std::string& message);

    [[nodiscard]] int ErrorNumber() const noexcept { return FErrorNumber; }
    [[nodiscard]] TErrorKind Kind() const noexcept { return FKind; }
    // The kind, the code and the system's words for it.
    [[nodiscard]] TSystemError SystemError() const;

private:
    int FErrorNumber;  // kind and code only: an exception's copy never fails
    TErrorKind FKind;
};

// The message of a system error code (one table per system).
std::string FileErrorMessage(int errorNumber);

}  // namespace zarvik12m
