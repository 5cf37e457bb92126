#include "utility/plu_file.h"

#include <algorithm>

#include "driver/common/cp1251.h"
#include "driver/platform/file_system.h"
#include "utility/plu_line.h"

namespace zarvik12m {

namespace {

constexpr std::size_t ReadBufferSize = 65536;

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

// Well-formed UTF-8 throughout, with at least one byte beyond ASCII (plain
// ASCII reads the same either way).
bool IsUtf8Text(const std::vector<std::string>& lines)
{
    bool beyondAscii = false;
    for (const std::string& line : lines) {
        if (!IsWellFormedUtf8(line)) {
            return false;
        }
        beyondAscii = beyondAscii || std::any_of(line.begin(), line.end(),
                                                 [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
    }
    return beyondAscii;
}

}  // namespace

TPluFileReader::TPluFileReader(const std::string& fileName)
{
    if (fileName.empty()) {
        FDescriptor = StandardInput();
    } else {
        FOwnedFile = OpenFileForReading(fileName);
        FDescriptor = FOwnedFile.Get();
    }
}

TPluFileReader TPluFileReader::OfDescriptor(TNativeFile descriptor)
{
    TPluFileReader reader;
    reader.FDescriptor = descriptor;
    return reader;
}

bool TPluFileReader::FillBuffer()
{
    if (FAtEnd) {
        return false;
    }
    FBuffer.resize(ReadBufferSize);
    FStart = 0;
    FEnd = ReadFileBytes(FDescriptor, FBuffer.data(), FBuffer.size());
    FAtEnd = FEnd == 0;
    return !FAtEnd;
}

bool TPluFileReader::ReadLine(std::string& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (FStart == FEnd && !FillBuffer()) {
            return any;
        }
        any = true;
        const auto begin = FBuffer.begin() + static_cast<std::ptrdiff_t>(FStart);
        const auto end = FBuffer.begin() + static_cast<std::ptrdiff_t>(FEnd);
        const auto lineEnd = std::find(begin, end, '\n');
        std::copy_if(begin, lineEnd, std::back_inserter(line), [](char c) { return c != '\r'; });
        if (lineEnd != end) {
            FStart = static_cast<std::size_t>(lineEnd - FBuffer.begin()) + 1;
            return true;
        }
        FStart = FEnd;
    }
}

EPluLineError::EPluLineError(std::string_view what, std::size_t lineNumber)
    : std::runtime_error(std::string("Ошибка: "_cp1251) + std::string(what) + std::string(" в строке "_cp1251) +
                         std::to_string(lineNumber) + std::string(" файла PLU"_cp1251)),
      FLineNumber(lineNumber)
{}

EPluValueError::EPluValueError(std::size_t lineNumber) : EPluLineError("Неверное значение"_cp1251, lineNumber) {}

EPluEncodingError::EPluEncodingError(std::size_t lineNumber)
    : EPluLineError("Символ без кодировки Windows-1251"_cp1251, lineNumber)
{}

void ReadPluGoods(TPluFileReader& reader, char separator, TZarvik12m_Goods& goods)
{
    std::vector<std::string> lines;
    for (std::string line; lines.size() < MaxGoodsCount && reader.ReadLine(line);) {
        lines.push_back(std::move(line));
    }
    const bool utf8 = IsUtf8Text(lines);
    if (utf8 && !lines.empty() && lines.front().starts_with(Utf8ByteOrderMark)) {
        lines.front().erase(0, Utf8ByteOrderMark.size());
    }

    goods.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string> converted;
        if (utf8) {
            converted = Utf8ToCp1251Exactly(lines[i]);
            if (!converted) {
                throw EPluEncodingError(i + 1);
            }
        }
        const std::optional<TZarvik12m_GoodsItem> item = ParsePluLine(converted ? *converted : lines[i], separator);
        if (!item) {
            throw EPluValueError(i + 1);
        }
        goods.push_back(*item);
    }
}

void WritePluFile(const std::string& fileName, const TZarvik12m_Goods& goods, std::uint16_t count, char separator,
                  TNativeFile standardOutput)
{
    std::string content;
    const std::size_t lines = std::min<std::size_t>(count, goods.size());
    for (std::size_t i = 0; i < lines; ++i) {
        content += FormatPluLine(goods[i], separator);
    }
    if (fileName.empty()) {
        WriteEveryByte(standardOutput, content);
    } else {
        ReplaceFileContent(fileName, content);
    }
}

}  // namespace zarvik12m
