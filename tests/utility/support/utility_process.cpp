#include "tests/utility/support/utility_process.h"

#include <cstdlib>
#include <stdexcept>
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

TWineMappedPort::TWineMappedPort(const std::string& path)
{
    const char* prefix = std::getenv("WINEPREFIX");  // NOLINT(concurrency-mt-unsafe)
    if (!UtilityRunsUnderWine() || prefix == nullptr) {
        return;
    }
    const std::filesystem::path folder = std::filesystem::path(prefix) / "zarvik12m-ports";
    const std::filesystem::path link = folder / ("com" + std::to_string(WineMappedPort));
    std::error_code error;
    const std::filesystem::path mapped =
        std::filesystem::read_symlink(std::filesystem::path(prefix) / "dosdevices" / link.filename(), error);
    if (error || mapped != link) {
        throw std::runtime_error("the Wine prefix " + std::string(prefix) + " does not map COM" +
                                 std::to_string(WineMappedPort) + " to " + link.string() +
                                 " (the Windows build's tests set it up when they boot the prefix)");
    }
    std::filesystem::create_directories(folder);
    std::filesystem::remove(link, error);
    std::filesystem::create_symlink(path, link);
    FLink = link;
}

TWineMappedPort::~TWineMappedPort()
{
    if (!FLink.empty()) {
        std::error_code ignored;
        std::filesystem::remove(FLink, ignored);
    }
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
    // Wine's start and its serial emulation (a line watched by polling)
    // make a run of the Windows program slower than the Linux program's,
    // the more so on a busy machine.
    TProcessResult result =
        RunProcess(options, UtilityRunsUnderWine() ? 2 * DefaultProcessTimeout : DefaultProcessTimeout);
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
