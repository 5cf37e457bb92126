#include "driver/common/cp1251.h"

namespace zarvik12m {

std::string Utf8ToCp1251(std::string_view utf8)
{
    std::string result;
    result.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const TUtf8Sequence sequence = DecodeUtf8(utf8, i);
        if (sequence.Length == 0) {
            result.push_back('?');
            ++i;
            continue;
        }
        const int byte = Cp1251ByteOf(sequence.CodePoint);
        result.push_back(byte < 0 ? '?' : static_cast<char>(byte));
        i += sequence.Length;
    }
    return result;
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
