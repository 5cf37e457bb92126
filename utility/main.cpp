// Zarvik12mPLU: reads the goods (PLU) table of a Zarvik-12M cash register
// into a text file, writes such a file into it, or clears it, through the
// driver library (libzarvik12m.so.1, zarvik12m.dll) loaded at run time.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/platform/standard_streams.h"
#include "utility/console.h"
#include "utility/last_resort.h"
#include "utility/plu_program.h"
#include "utility/zarvik12m_dll.h"

int main(int argc, char** argv)
{
    using namespace zarvik12m;
    KeepRunningWhenOutputCloses();
    TConsole console(StandardOutput(), StandardError(), StandardOutputCharset(), IsTerminal(StandardOutput()));
    const std::string module = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "Zarvik12mPLU";
    const std::vector<std::string> parameters(argv + (argc > 0 ? 1 : 0), argv + argc);

    // The binding outlives the handler below: an exception thrown inside
    // the library is reported and destroyed before the library goes.
    std::unique_ptr<TZarvik12mDll> dll;
    std::string_view location = "TZarvik12mDll";
    try {
        dll = std::make_unique<TZarvik12mDll>(Zarvik12mLibraryFileName);
        location = "main";
        return RunZarvik12mPlu(dll, parameters, console);
    } catch (...) {
        return ReportFatalException(console, module, location);
    }
}
