#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

// Windows-1251 is the code page in which the system holds, logs and files
// its Russian texts. Sources are UTF-8; a literal written "..."_cp1251 is
// converted while compiling, and one holding a character that Windows-1251
// cannot represent does not compile.

namespace zarvik12m {

// Unicode code points of the bytes 0x80..0xFF; 0x98 has none.
// clang-format off
inline constexpr std::array<char32_t, 128> Cp1251UpperHalf = {
    U'\u0402', U'\u0403', U'\u201A', U'\u0453', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u20AC', U'\u2030', U'\u0409', U'\u2039', U'\u040A', U'\u040C', U'\u040B', U'\u040F',
    U'\u0452', U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\uFFFD', U'\u2122', U'\u0459', U'\u203A', U'\u045A', U'\u045C', U'\u045B', U'\u045F',
    U'\u00A0', U'\u040E', U'\u045E', U'\u0408', U'\u00A4', U'\u0490', U'\u00A6', U'\u00A7',
    U'\u0401', U'\u00A9', U'\u0404', U'\u00AB', U'\u00AC', U'\u00AD', U'\u00AE', U'\u0407',
    U'\u00B0', U'\u00B1', U'\u0406', U'\u0456', U'\u0491', U'\u00B5', U'\u00B6', U'\u00B7',
    U'\u0451', U'\u2116', U'\u0454', U'\u00BB', U'\u0458', U'\u0405', U'\u0455', U'\u0457',
    U'\u0410', U'\u0411', U'\u0412', U'\u0413', U'\u0414', U'\u0415', U'\u0416', U'\u0417',
    U'\u0418', U'\u0419', U'\u041A', U'\u041B', U'\u041C', U'\u041D', U'\u041E', U'\u041F',
    U'\u0420', U'\u0421', U'\u0422', U'\u0423', U'\u0424', U'\u0425', U'\u0426', U'\u0427',
    U'\u0428', U'\u0429', U'\u042A', U'\u042B', U'\u042C', U'\u042D', U'\u042E', U'\u042F',
    U'\u0430', U'\u0431', U'\u0432', U'\u0433', U'\u0434', U'\u0435', U'\u0436', U'\u0437',
    U'\u0438', U'\u0439', U'\u043A', U'\u043B', U'\u043C', U'\u043D', U'\u043E', U'\u043F',
    U'\u0440', U'\u0441', U'\u0442', U'\u0443', U'\u0444', U'\u0445', U'\u0446', U'\u0447',
    U'\u0448', U'\u0449', U'\u044A', U'\u044B', U'\u044C', U'\u044D', U'\u044E', U'\u044F',
};
// clang-format on

// The Windows-1251 byte of a code point, or -1 when it has none.
constexpr int Cp1251ByteOf(char32_t codePoint)
{
    if (codePoint < 0x80) {
        return static_cast<int>(codePoint);
    }
    if (codePoint >= U'\u0410' && codePoint <= U'\u044F') {  // А..я, the common case
        return static_cast<int>(0xC0 + (codePoint - U'\u0410'));
    }
    if (codePoint == U'\uFFFD') {
        return -1;
    }
    for (std::size_t i = 0; i < Cp1251UpperHalf.size(); ++i) {
        if (Cp1251UpperHalf[i] == codePoint) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// One decoded UTF-8 sequence: its code point and length, or length 0 when
// the bytes at the position are not well-formed UTF-8.
struct TUtf8Sequence {
    char32_t CodePoint = 0;
    std::size_t Length = 0;
};

constexpr TUtf8Sequence DecodeUtf8(std::string_view text, std::size_t position)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(position);
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80) {
        return {lead, 1};
    }
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        codePoint = lead & 0x1FU;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        codePoint = lead & 0x0FU;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        codePoint = lead & 0x07U;
    } else {
        return {};
    }
    if (position + length > text.size()) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byteAt(position + i);
        if ((next & 0xC0U) != 0x80U) {
            return {};
        }
        codePoint = (codePoint << 6U) | (next & 0x3FU);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return {};
    }
    return {codePoint, length};
}

// Converts UTF-8 text to Windows-1251. Characters without a Windows-1251
// form and malformed bytes become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// The same, but nothing at all when the text holds a character without a
// Windows-1251 form or a malformed byte.
std::optional<std::string> Utf8ToCp1251Exactly(std::string_view utf8);

// Whether the text is well-formed UTF-8 throughout (no overlong forms, no
// surrogates, nothing beyond U+10FFFF).
bool IsWellFormedUtf8(std::string_view text);

// Converts Windows-1251 text to UTF-8 (byte 0x98, which has no character,
// becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view cp1251);

namespace detail {

// Reached only while compiling a "..."_cp1251 literal that Windows-1251
// cannot hold: the call is not a constant expression, so compilation stops
// here with this function's name in the diagnostic.
void LiteralHasCharacterWithoutWindows1251Form();

constexpr std::size_t Cp1251LengthOf(std::string_view utf8)
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < utf8.size(); ++length) {
        const TUtf8Sequence sequence = DecodeUtf8(utf8, i);
        if (sequence.Length == 0 || Cp1251ByteOf(sequence.CodePoint) < 0) {
            LiteralHasCharacterWithoutWindows1251Form();
        }
        i += sequence.Length;
    }
    return length;
}

// The bytes of one literal, made while compiling. The literal's characters
// are the template's arguments, so every literal has storage of its own
// for the program's whole run.
template <char... Utf8>
struct TCp1251Literal {
    static constexpr char Source[] = {Utf8..., '\0'};
    static constexpr std::size_t Length = Cp1251LengthOf({Source, sizeof...(Utf8)});

    static constexpr std::array<char, Length + 1> Bytes = [] {
        std::array<char, Length + 1> bytes{};
        const std::string_view text(Source, sizeof...(Utf8));
        std::size_t out = 0;
        for (std::size_t i = 0; i < text.size();) {
            const TUtf8Sequence sequence = DecodeUtf8(text, i);
            bytes[out++] = static_cast<char>(Cp1251ByteOf(sequence.CodePoint));
            i += sequence.Length;
        }
        return bytes;
    }();
};

}  // namespace detail

inline namespace literals {

// A literal operator template over the literal's characters: a GNU form
// that both GCC and clang take. (The standard form, a class type holding
// the text, makes clang 14 crash when it describes a failed constant
// evaluation of anything pointing into such a literal.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#ifdef __clang__
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#endif
template <typename TChar, TChar... Utf8>
consteval std::string_view operator""_cp1251()
{
    static_assert(std::is_same_v<TChar, char>, "Windows-1251 literals are written as plain string literals");
    using TLiteral = detail::TCp1251Literal<Utf8...>;
    return {TLiteral::Bytes.data(), TLiteral::Length};
}
#pragma GCC diagnostic pop

}  // namespace literals

}  // namespace zarvik12m
