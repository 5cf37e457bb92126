#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/utility/support/child_process.h"

// Running the built Zarvik12mPLU in tests: against the stand-in library
// here, and against the real library and the register emulator elsewhere.

namespace zarvik12m::testing {

// The built Zarvik12mPLU: its RUNPATH finds the built libzarvik12m.so.1
// unless LD_LIBRARY_PATH names another folder holding that file.
std::filesystem::path UtilityProgramPath();

// The folder of the Russian locales that the build makes for the tests.
std::filesystem::path TestLocaleDirectory();

// Whether that folder holds the locale (the machine could build it).
bool TestLocaleAvailable(const std::string& locale);

// Whether the sanitizer runtime intercepts dlopen in this build: the
// library is then searched as if the runtime had asked for it, without the
// program's RUNPATH.
inline constexpr bool RunpathHiddenBySanitizer =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

// How the utility is launched: the Linux program, or, where the test runs
// with ZARVIK12M_TEST_WINDOWS_UTILITY naming Zarvik12mPLU.exe (and
// ZARVIK12M_TEST_WINE the wine64 to run it with, WINEPREFIX its prefix),
// the Windows program under Wine, its COM ports reached through the
// prefix's dosdevices links (TPortVariable makes them).
bool UtilityRunsUnderWine();

// The COM port that the Wine prefix's registry maps for good
// (HKLM\Software\Wine\Ports, set when the Windows build's tests boot the
// prefix) to the link $WINEPREFIX/zarvik12m-ports/com7, which a test then
// points at its line: the serial device map lists it as a Windows PC's
// own port.
inline constexpr std::uint8_t WineMappedPort = 7;

// Points the prefix's mapped COM port at a device file for the object's
// lifetime, where the utility runs under Wine; does nothing elsewhere.
// Fails (std::runtime_error) when the prefix does not map the port to its
// link.
class TWineMappedPort {
public:
    explicit TWineMappedPort(const std::string& path);
    ~TWineMappedPort();
    TWineMappedPort(const TWineMappedPort&) = delete;
    TWineMappedPort& operator=(const TWineMappedPort&) = delete;

private:
    std::filesystem::path FLink;
};

// The name under which the utility reports an unopenable COM port whose
// device file is path: the path on Linux, the COM name on Windows.
std::string ShownDeviceName(std::uint8_t port, const std::string& path);

// Runs the utility (UtilityOptions) and gives its output as the Linux
// program writes it: under Wine the console's DOS code page and CR LF
// line ends are turned into UTF-8 and LF.
TProcessResult RunUtility(const TProcessOptions& options);

// The utility with its arguments, run in the working directory under the
// locale (LC_ALL, with LOCPATH at the test locales). Where a sanitizer
// hides the RUNPATH, LD_LIBRARY_PATH names build/lib instead, so that the
// real library is found in every build. Under C.UTF-8 (or any
// UTF-8 locale) the console bytes are UTF-8, so tests compare them with
// plain literals; the PLU files stay Windows-1251.
TProcessOptions UtilityOptions(std::vector<std::string> arguments, const std::filesystem::path& workingDirectory,
                               const std::string& locale = "C.UTF-8");

// Console output taken apart: the text without the progress bar's
// drawings, and the drawings (each the bar without its backspaces).
struct TConsoleOutput {
    std::string Text;
    std::vector<std::string> Bars;
};

// A drawing is width characters of bytesPerCharacter bytes each (1 under
// CP1251 and IBM866, 3 under UTF-8) followed by width backspaces.
TConsoleOutput SplitProgressBars(std::string_view output, std::size_t bytesPerCharacter = 1, std::size_t width = 60);

}  // namespace zarvik12m::testing
