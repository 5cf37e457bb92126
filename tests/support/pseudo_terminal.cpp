#include "tests/support/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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
    // The Windows utility under Wine reaches the device through its prefix;
    // the variable would name a Linux file to it, which Windows cannot open.
    const char* prefix = std::getenv("WINEPREFIX");                              // NOLINT(concurrency-mt-unsafe)
    const char* windowsUtility = std::getenv("ZARVIK12M_TEST_WINDOWS_UTILITY");  // NOLINT(concurrency-mt-unsafe)
    if (prefix != nullptr && windowsUtility != nullptr && *windowsUtility != '\0') {
        FWineLink = std::filesystem::path(prefix) / "dosdevices" / ("com" + std::to_string(portNumber));
        std::error_code ignored;
        std::filesystem::remove(FWineLink, ignored);
        std::filesystem::create_symlink(path, FWineLink);
        return;
    }
    if (setenv(FName.c_str(), path.c_str(), 1) != 0) {
        ThrowSystemError("setenv");
    }
}

TPortVariable::~TPortVariable()
{
    if (!FWineLink.empty()) {
        std::error_code ignored;
        std::filesystem::remove(FWineLink, ignored);
        return;
    }
    static_cast<void>(unsetenv(FName.c_str()));
}

}  // namespace zarvik12m::testing
