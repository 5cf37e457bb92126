#include "driver/common/cp1251.h"

namespace zarvik12m {

namespace {

// UTF-8 to Windows-1251; false at the first malformed byte or character
// without a Windows-1251 form unless these become '?'.
bool ConvertUtf8ToCp1251(std::string_view utf8, bool markUnconvertible, std::string& result)
{
    result.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const TUtf8Sequence sequence = DecodeUtf8(utf8, i);
        const int byte = sequence.Length == 0 ? -1 : Cp1251ByteOf(sequence.CodePoint);
        if (byte < 0 && !markUnconvertible) {
            return false;
        }
        result.push_back(byte < 0 ? '?' : static_cast<char>(byte));
        i += sequence.Length == 0 ? 1 : sequence.Length;
    }
    return true;
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8)
{
    std::string result;
    static_cast<void>(ConvertUtf8ToCp1251(utf8, true, result));
    return result;
}

std::optional<std::string> Utf8ToCp1251Exactly(std::string_view utf8)
{
    std::string result;
    if (!ConvertUtf8ToCp1251(utf8, false, result)) {
        return std::nullopt;
    }
    return result;
}

bool IsWellFormedUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const TUtf8Sequence sequence = DecodeUtf8(text, i);
        if (sequence.Length == 0) {
            return false;
        }
        i += sequence.Length;
    }
    return true;
}

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    std::string result;
    result.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        const auto byte = static_cast<unsigned char>(c);
        const char32_t codePoint = byte < 0x80 ? byte : Cp1251UpperHalf[byte - 0x80U];
        if (codePoint < 0x80) {
            result.push_back(static_cast<char>(codePoint));
        } else if (codePoint < 0x800) {
            result.push_back(static_cast<char>(0xC0U | (codePoint >> 6U)));
            result.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
        } else {
            result.push_back(static_cast<char>(0xE0U | (codePoint >> 12U)));
            result.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
            result.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
        }
    }
    return result;
}

}  // namespace zarvik12m
