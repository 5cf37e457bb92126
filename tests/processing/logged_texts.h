#pragma once

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_directory.h"

namespace zarvik12m::testing {

// The header texts of the command log's entries, in order.
inline std::vector<std::string> LoggedTexts(const std::string& fileName)
{
    const std::string log = ReadFileBytes(fileName);
    std::vector<std::string> texts;
    std::size_t start = 0;
    bool afterEmptyLine = false;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        const std::string line = log.substr(start, end - start);
        start = end == std::string::npos ? log.size() : end + 2;
        if (afterEmptyLine) {
            // The header: date, time, a blank and the text; the text starts
            // after the time's last digit, which the texts never begin with,
            // or after the AM or PM of a 12-hour clock (Windows' en-US).
            std::size_t at = line.find_first_not_of("0123456789./: ", 0);
            if (at != std::string::npos && (line.compare(at, 3, "AM ") == 0 || line.compare(at, 3, "PM ") == 0)) {
                at += 3;
            }
            texts.push_back(at == std::string::npos ? "" : line.substr(at));
        }
        afterEmptyLine = line.empty();
    }
    return texts;
}

// The texts that begin with the prefix, in order.
inline std::vector<std::string> TextsStartingWith(const std::vector<std::string>& texts, std::string_view prefix)
{
    std::vector<std::string> found;
    std::copy_if(texts.begin(), texts.end(), std::back_inserter(found),
                 [&](const std::string& text) { return text.starts_with(prefix); });
    return found;
}

}  // namespace zarvik12m::testing
