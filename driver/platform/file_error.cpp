#include "driver/platform/file_error.h"

namespace zarvik12m {

EFileError::EFileError(int errorNumber) : EFileError(errorNumber, FileErrorMessage(errorNumber)) {}

EFileError::EFileError(int errorNumber, const std::string& message)
    : std::runtime_error(message), FErrorNumber(errorNumber), FKind(ErrorKindOf(errorNumber))
{}

TSystemError EFileError::SystemError() const
{
    return SystemErrorOf(FErrorNumber, FKind);
}

}  // namespace zarvik12m
