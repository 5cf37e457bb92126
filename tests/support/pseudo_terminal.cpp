#include "tests/support/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace zarvik12m::testing {

namespace {

[[noreturn]] void ThrowSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TPortVariable::TPortVariable(std::uint8_t portNumber, const std::string& path)
    : FName("ZARVIK12M_COM" + std::to_string(portNumber))
{
    if (setenv(FName.c_str(), path.c_str(), 1) != 0) {
        ThrowSystemError("setenv");
    }
}

TPortVariable::~TPortVariable()
{
    static_cast<void>(unsetenv(FName.c_str()));
}

}  // namespace zarvik12m::testing
