#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zarvik12m::fuzz {

// Reads a fuzz input from the front: single values and runs of bytes.
// Past the end every value reads as zero and every run as empty, so any
// input, however short, is a whole test case.
class TFuzzInput {
public:
    explicit TFuzzInput(std::span<const std::uint8_t> bytes) noexcept : FRest(bytes) {}

    [[nodiscard]] bool Empty() const noexcept { return FRest.empty(); }

    std::uint8_t Byte() noexcept
    {
        if (FRest.empty()) {
            return 0;
        }
        const std::uint8_t byte = FRest.front();
        FRest = FRest.subspan(1);
        return byte;
    }

    // An unsigned value of the given number of bytes, little-endian.
    template <class TUnsigned>
    TUnsigned Unsigned() noexcept
    {
        TUnsigned value = 0;
        for (std::size_t i = 0; i < sizeof(TUnsigned); ++i) {
            value = static_cast<TUnsigned>(value | static_cast<TUnsigned>(TUnsigned{Byte()} << (8 * i)));
        }
        return value;
    }

    // At most count bytes, fewer when the input ends first.
    std::span<const std::uint8_t> Bytes(std::size_t count) noexcept
    {
        const std::span<const std::uint8_t> run = FRest.first(count < FRest.size() ? count : FRest.size());
        FRest = FRest.subspan(run.size());
        return run;
    }

    // A text whose length is read first, as one byte.
    std::string_view Text(std::size_t maxLength) noexcept
    {
        const std::span<const std::uint8_t> run = Bytes(Byte() % (maxLength + 1));
        return {reinterpret_cast<const char*>(run.data()), run.size()};
    }

    std::span<const std::uint8_t> Rest() noexcept { return Bytes(FRest.size()); }

private:
    std::span<const std::uint8_t> FRest;
};

inline std::string_view AsText(std::span<const std::uint8_t> bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace zarvik12m::fuzz
