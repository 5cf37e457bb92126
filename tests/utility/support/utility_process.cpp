#include "tests/utility/support/utility_process.h"

#include <system_error>
#include <utility>

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

TProcessOptions UtilityOptions(std::vector<std::string> arguments, const std::filesystem::path& workingDirectory,
                               const std::string& locale)
{
    TProcessOptions options;
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
