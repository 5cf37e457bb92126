#pragma once

#include <string>

namespace zarvik12m {

// The system's text of a GetLastError() code, without its line end; "error
// N" when the system has none.
[[nodiscard]] std::string SystemErrorText(unsigned long error);

}  // namespace zarvik12m
