#include "tools/emulator/trace_file.h"

#include <charconv>

#include "driver/platform/file_system.h"

namespace zarvik12m::emulator {

namespace {

[[noreturn]] void Refuse(std::size_t lineNumber, const std::string& what)
{
    throw TTraceError("line " + std::to_string(lineNumber) + ": " + what);
}

// The next blank-separated word of rest, taken off it.
std::string_view NextWord(std::string_view& rest)
{
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value, int base = 10)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

TTraceOpening ParseOpening(std::string_view rest, std::size_t lineNumber)
{
    TTraceOpening opening;
    // The device comes last and may hold blanks; nothing after it counts.
    for (std::string_view word = NextWord(rest); !word.empty() && !word.starts_with("device="); word = NextWord(rest)) {
        if (word.starts_with("baud=") && !ParseNumber(word.substr(5), opening.BaudRate)) {
            Refuse(lineNumber, "bad baud rate: " + std::string(word));
        }
    }
    return opening;
}

TTraceEvent ParseEvent(std::string_view rest, std::size_t lineNumber)
{
    TTraceEvent event;
    const std::string_view time = NextWord(rest);
    if (!ParseNumber(time, event.Microseconds)) {
        Refuse(lineNumber, "expected microseconds, found \"" + std::string(time) + "\"");
    }
    const std::string_view direction = NextWord(rest);
    if (direction != ">" && direction != "<") {
        Refuse(lineNumber, "expected > or <, found \"" + std::string(direction) + "\"");
    }
    event.ToRegister = direction == ">";
    for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
        std::uint8_t byte = 0;
        if (word.size() != 2 || !ParseNumber(word, byte, 16)) {
            Refuse(lineNumber, "bad byte \"" + std::string(word) + "\"");
        }
        event.Bytes.push_back(byte);
    }
    if (event.Bytes.empty()) {
        Refuse(lineNumber, "no bytes");
    }
    return event;
}

}  // namespace

TTrace ParseTrace(std::string_view text)
{
    TTrace trace;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(' ') == std::string_view::npos || line.starts_with('#')) {
            continue;
        }
        if (line.starts_with("open ")) {
            trace.Openings.push_back(ParseOpening(line.substr(5), lineNumber));
            continue;
        }
        if (trace.Openings.empty()) {
            trace.Openings.emplace_back();
        }
        TTraceEvent event = ParseEvent(line, lineNumber);
        event.Opening = trace.Openings.size() - 1;
        trace.Events.push_back(std::move(event));
    }
    return trace;
}

TTrace LoadTrace(const std::string& fileName)
{
    const TFileHandle file = OpenFileForReading(fileName);
    std::string text;
    char buffer[65536];
    for (std::size_t count = ReadFileBytes(file.Get(), buffer, sizeof buffer); count > 0;
         count = ReadFileBytes(file.Get(), buffer, sizeof buffer)) {
        if (text.size() + count > MaxTraceFileSize) {
            throw TTraceError(fileName + ": larger than " + std::to_string(MaxTraceFileSize) + " bytes");
        }
        text.append(buffer, count);
    }
    try {
        return ParseTrace(text);
    } catch (const TTraceError& error) {
        throw TTraceError(fileName + ", " + error.what());
    }
}

TBytes TraceStream(const TTrace& trace, bool toRegister)
{
    TBytes stream;
    for (const TTraceEvent& event : trace.Events) {
        if (event.ToRegister == toRegister) {
            stream.insert(stream.end(), event.Bytes.begin(), event.Bytes.end());
        }
    }
    return stream;
}

}  // namespace zarvik12m::emulator
