#include "driver/platform/standard_streams.h"

#include <cctype>
#include <string>

namespace zarvik12m {

namespace {

// Upper case without '-' and '_': "utf-8", "UTF8" and "utf_8" alike.
std::string NormalisedCodeset(std::string_view codeset)
{
    std::string result;
    for (const char c : codeset) {
        if (c != '-' && c != '_') {
            result.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    return result;
}

}  // namespace

TConsoleCharset ConsoleCharsetOfCodeset(std::string_view codeset)
{
    const std::string name = NormalisedCodeset(codeset);
    if (name == "CP1251" || name == "WINDOWS1251") {
        return csWindows1251;
    }
    if (name == "IBM866" || name == "CP866" || name == "866") {
        return csDos866;
    }
    // UTF-8 itself, and plain ASCII (the C and POSIX locales, whose texts
    // would otherwise be unreadable) as well as any charset without a
    // conversion here.
    return csUtf8;
}

}  // namespace zarvik12m
