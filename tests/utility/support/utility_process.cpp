#include "tests/utility/support/utility_process.h"

#include <cstdlib>
#include <system_error>
#include <utility>

#include "driver/common/convert.h"
#include "driver/common/cp1251.h"

namespace zarvik12m::testing {

std::filesystem::path UtilityProgramPath()
{
    return ZARVIK12M_UTILITY_PATH;
}

std::filesystem::path TestLocaleDirectory()
{
    return ZARVIK12M_TEST_LOCALE_DIRECTORY;
}

bool TestLocaleAvailable(const std::string& locale)
{
    std::error_code error;
    return std::filesystem::is_directory(TestLocaleDirectory() / locale, error);
}

namespace {

const char* WindowsUtility()
{
    const char* path = std::getenv("ZARVIK12M_TEST_WINDOWS_UTILITY");  // NOLINT(concurrency-mt-unsafe)
    return path != nullptr && *path != '\0' ? path : nullptr;
}

}  // namespace

bool UtilityRunsUnderWine()
{
    return WindowsUtility() != nullptr;
}

std::string ShownDeviceName(std::uint8_t port, const std::string& path)
{
    if (!UtilityRunsUnderWine()) {
        return path;
    }
    return (port >= 10 ? R"(\\.\COM)" : "COM") + std::to_string(port);
}

TProcessResult RunUtility(const TProcessOptions& options)
{
    TProcessResult result = RunProcess(options);
    if (UtilityRunsUnderWine()) {
        std::string text;
        for (const char c : Cp1251ToUtf8(ConvertStr(result.Output, ccDosWin))) {
            if (c != '\r') {
                text.push_back(c);
            }
        }
        result.Output = text;
    }
    return result;
}

TProcessOptions UtilityOptions(std::vector<std::string> arguments, const std::filesystem::path& workingDirectory,
                               const std::string& locale)
{
    TProcessOptions options;
    if (const char* windowsUtility = WindowsUtility(); windowsUtility != nullptr) {
        const char* wine = std::getenv("ZARVIK12M_TEST_WINE");  // NOLINT(concurrency-mt-unsafe)
        options.Program = wine != nullptr ? wine : "wine64";
        options.Arguments = std::move(arguments);
        options.Arguments.insert(options.Arguments.begin(), windowsUtility);
        options.WorkingDirectory = workingDirectory;
        options.Environment["WINEDEBUG"] = "-all";
        return options;
    }
    options.Program = UtilityProgramPath();
    options.Arguments = std::move(arguments);
    options.WorkingDirectory = workingDirectory;
    options.Environment["LOCPATH"] = TestLocaleDirectory().string();
    options.Environment["LC_ALL"] = locale;
    if (RunpathHiddenBySanitizer) {
        options.Environment["LD_LIBRARY_PATH"] = ZARVIK12M_LIBRARY_DIRECTORY;
    }
    return options;
}

TConsoleOutput SplitProgressBars(std::string_view output, std::size_t bytesPerCharacter, std::size_t width)
{
    const std::string backspaces(width, '\b');
    const std::size_t barBytes = width * bytesPerCharacter;
    TConsoleOutput result;
    for (;;) {
        const std::size_t found = output.find(backspaces);
        if (found == std::string_view::npos || found < barBytes) {
            result.Text += output;
            return result;
        }
        result.Text += output.substr(0, found - barBytes);
        result.Bars.emplace_back(output.substr(found - barBytes, barBytes));
        output.remove_prefix(found + width);
    }
}

}  // namespace zarvik12m::testing
