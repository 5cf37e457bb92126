#include "utility/last_resort.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "driver/common/cp1251.h"

namespace zarvik12m {

namespace {

// The readable name of the current exception's class ("std::runtime_error").
std::string CurrentExceptionClass()
{
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) {
        return "unknown";
    }
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                           &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type->name());
}

std::string CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return std::string(UnknownErrorMessage);
    }
}

}  // namespace

int ReportFatalException(TConsole& console, std::string_view module, std::string_view location) noexcept
{
    constexpr int ExitCode = 1;
    try {
        // Anything a library wrote through the C streams comes first.
        static_cast<void>(std::fflush(stdout));
        const std::string header = "Exception " + CurrentExceptionClass() + " in module " + std::string(module) +
                                   " at " + std::string(location) + ".";
        console.WriteErrorLines({header, CurrentExceptionMessage() + ".", ""});
    } catch (...) {  // NOLINT(bugprone-empty-catch)
        // Nothing is left to report with; the exit code tells the failure.
    }
    return ExitCode;
}

}  // namespace zarvik12m
