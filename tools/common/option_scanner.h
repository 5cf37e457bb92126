#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zarvik12m {

// text as a decimal number from low to high; nothing for anything else.
std::optional<std::uint64_t> DecimalNumber(std::string_view text, std::uint64_t low, std::uint64_t high) noexcept;

// Walks a tool's command line one argument at a time: "--flag VALUE",
// "--flag=VALUE" and bare flags or operands. What it refuses goes to the
// tool's own refusal (a Windows-1251 text of what is wrong and the
// argument concerned), which must throw; each tool keeps its own error
// type and message encoding.
class TOptionScanner {
public:
    using TRefuse = std::function<void(std::string_view what, std::string_view argument)>;

    TOptionScanner(std::vector<std::string_view> arguments, TRefuse refuse);

    // Moves to the next argument; false when there is none.
    bool Next();

    // The current argument without an inline "=VALUE" (which only a "--"
    // argument has), and the argument as it was given.
    [[nodiscard]] std::string_view Flag() const noexcept { return FFlag; }
    [[nodiscard]] std::string_view Argument() const noexcept { return FArguments[FIndex]; }
    [[nodiscard]] const std::optional<std::string_view>& InlineValue() const noexcept { return FInlineValue; }

    // The flag's value: the inline one, or else the next argument, which is
    // taken. Refuses "no value" at the end of the line.
    std::string_view Value();

    // Refuses a flag that takes no value but was given one inline.
    void NoValue() const;

    // The value as a decimal number from low to high; refuses anything
    // else as a wrong value.
    std::uint64_t Number(std::uint64_t low, std::uint64_t high);

    // Refuses what with the argument (throws through the tool's refusal).
    [[noreturn]] void Refuse(std::string_view what, std::string_view argument) const;

    // Refuses a value of the current flag as wrong: "flag value".
    [[noreturn]] void RefuseValue(std::string_view value) const;

private:
    std::vector<std::string_view> FArguments;
    TRefuse FRefuse;
    std::size_t FIndex = 0;
    bool FStarted = false;
    std::string_view FFlag;
    std::optional<std::string_view> FInlineValue;
};

}  // namespace zarvik12m
