// A host of zarvik12m-c.dll as C programs bind it: through the header and
// the import library, in the header's calling convention, so that building
// this program checks the import library of each width. Run (under Wine,
// where Wine runs the build's programs) it asks a port that opens nothing
// and expects the driver's code, its text and the call's progress back.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "zarvik12m/zarvik12m.h"

int main()
{
    zarvik12m_properties properties{};
    zarvik12m_error error{};
    // No device stands for COM port 29 under Wine (the tests map COM7 only).
    const int code = zarvik12m_get_properties(29, 9600, 1, &properties, &error);
    const bool versionRight = std::strcmp(zarvik12m_version(), "1.0.0") == 0;
    const bool failureTold = code == -110 && error.code == -110 && std::strstr(error.message, "COM29") != nullptr;
    // A properties call is one step of progress, counted before the port opens.
    const int32_t progressMax = zarvik12m_progress_max(29);
    std::printf("version %s, code %d, message \"%s\", progress max %d\n", zarvik12m_version(), code, error.message,
                static_cast<int>(progressMax));
    return versionRight && failureTold && progressMax == 1 ? 0 : 1;
}
