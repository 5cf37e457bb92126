#include <iconv.h>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"

namespace zarvik12m {
namespace {

// The code point that the system's converter gives a Windows-1251 byte.
char32_t SystemCodePointOf(unsigned char byte)
{
    iconv_t converter = iconv_open("UTF-32LE", "CP1251");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return 0;
    }
    char input[1] = {static_cast<char>(byte)};
    unsigned char output[4] = {};
    char* in = input;
    auto* out = reinterpret_cast<char*>(output);
    std::size_t inLeft = 1;
    std::size_t outLeft = 4;
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        return U'\uFFFD';
    }
    return static_cast<char32_t>(output[0] | (output[1] << 8U) | (output[2] << 16U) | (output[3] << 24U));
}

TEST(Cp1251, UpperHalfAgreesWithTheSystemConverter)
{
    if (SystemCodePointOf(0xC0) == 0) {
        GTEST_SKIP() << "the system has no CP1251 converter";
    }
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        EXPECT_EQ(Cp1251UpperHalf[byte - 0x80], SystemCodePointOf(static_cast<unsigned char>(byte)))
            << "byte " << std::hex << byte;
    }
}

TEST(Cp1251, LiteralsAreConvertedWhileCompiling)
{
    constexpr std::string_view text = "Ёж \"КАССА\" №5 ё"_cp1251;
    static_assert(text.size() == 15);
    EXPECT_EQ(text, std::string_view("\xA8\xE6\x20\x22\xCA\xC0\xD1\xD1\xC0\x22\x20\xB9\x35\x20\xB8"));
    constexpr std::string_view empty = ""_cp1251;
    EXPECT_TRUE(empty.empty());
}

TEST(Cp1251, ConvertsBothWaysAtRunTime)
{
    const std::string utf8 = "Молоко 3,2% «Домик» — 1 л";
    const std::string cp1251 = Utf8ToCp1251(utf8);
    EXPECT_EQ(cp1251.size(), 25U);
    EXPECT_EQ(Cp1251ToUtf8(cp1251), utf8);
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Cp1251, RunTimeConversionReplacesWhatItCannotHold)
{
    EXPECT_EQ(Utf8ToCp1251("a日b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("a\xFF"
                           "b"),
              "a?b");                                // not UTF-8 at all
    EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");          // cut in the middle of a character
    EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");       // over-long form of '/'
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");  // a surrogate
}

}  // namespace
}  // namespace zarvik12m
