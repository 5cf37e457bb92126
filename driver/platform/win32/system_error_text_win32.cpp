#include "driver/platform/win32/system_error_text_win32.h"

#include <windows.h>

namespace zarvik12m {

std::string SystemErrorText(unsigned long error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<char*>(&text), 0, nullptr);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    std::string result = length != 0 && text != nullptr ? std::string(text, length) : std::string{};
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(error) : result;
}

}  // namespace zarvik12m
