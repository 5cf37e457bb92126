#include "utility/plu_file.h"

#include <algorithm>

#include "driver/common/cp1251.h"
#include "driver/platform/file_system.h"
#include "utility/plu_line.h"
#include "zarvik12m/goods.h"

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

bool TPluFileReader::ReadLine(std::string& line, std::size_t maxLength)
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
        for (auto c = begin; c != lineEnd; ++c) {
            if (*c == '\r') {
                continue;
            }
            line.push_back(*c);
            if (line.size() > maxLength) {
                FStart = static_cast<std::size_t>(c - FBuffer.begin()) + 1;
                return true;
            }
        }
        if (lineEnd != end) {
            FStart = static_cast<std::size_t>(lineEnd - FBuffer.begin()) + 1;
            return true;
        }
        FStart = FEnd;
    }
}

namespace {

std::string_view FaultText(std::uint8_t fault)
{
    switch (fault) {
    case pfFieldCount:
        return "Меньше шести полей"_cp1251;
    case pfCode:
        return "Код товара вне 1..4000"_cp1251;
    case pfBarcode:
        return "Штрихкод длиннее 13 символов"_cp1251;
    case pfPrice:
        return "Цена вне 0..4294967295"_cp1251;
    case pfName:
        return "Наименование длиннее 16 символов"_cp1251;
    case pfGroup:
        return "Группа вне 0..255"_cp1251;
    case pfQuantity:
        return "Количество вне 0..4294967.295"_cp1251;
    case ffTooLong:
        return "Строка длиннее 4096 байт"_cp1251;
    case ffTooMany:
        return "Товаров больше 4000"_cp1251;
    case ffEncoding:
        return "Символ без кодировки Windows-1251"_cp1251;
    default:
        return "Неверное значение"_cp1251;
    }
}

bool IsBlankLine(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// A line that holds an entry, with its number in the file.
struct TNumberedLine {
    std::size_t Number = 0;
    std::string Text;
};

}  // namespace

EPluLineError::EPluLineError(std::uint8_t fault, std::size_t lineNumber)
    : std::runtime_error(std::string("Ошибка: "_cp1251) + std::string(FaultText(fault)) +
                         std::string(" в строке "_cp1251) + std::to_string(lineNumber) +
                         std::string(" файла PLU"_cp1251)),
      FFault(fault),
      FLineNumber(lineNumber)
{}

EPluEmptyFile::EPluEmptyFile() : std::runtime_error(std::string("Ошибка: В файле PLU нет товаров"_cp1251)) {}

void ReadPluGoods(TPluFileReader& reader, char separator, TZarvik12m_Goods& goods)
{
    std::vector<TNumberedLine> lines;
    std::size_t number = 0;
    for (std::string line; reader.ReadLine(line, MaxPluLineLength);) {
        ++number;
        if (line.size() > MaxPluLineLength) {
            throw EPluLineError(ffTooLong, number);
        }
        if (IsBlankLine(line)) {
            continue;
        }
        if (lines.size() == MaxGoodsCount) {
            throw EPluLineError(ffTooMany, number);
        }
        lines.push_back({number, std::move(line)});
    }
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const TNumberedLine& line : lines) {
        texts.push_back(line.Text);
    }
    const bool utf8 = IsUtf8Text(texts);
    if (utf8 && !lines.empty() && lines.front().Text.starts_with(Utf8ByteOrderMark)) {
        lines.front().Text.erase(0, Utf8ByteOrderMark.size());
    }

    goods.clear();
    for (const TNumberedLine& line : lines) {
        std::optional<std::string> converted;
        if (utf8) {
            converted = Utf8ToCp1251Exactly(line.Text);
            if (!converted) {
                throw EPluLineError(ffEncoding, line.Number);
            }
        }
        const std::string_view text = converted ? *converted : std::string_view(line.Text);
        if (IsBlankLine(text)) {
            continue;  // a byte-order mark alone
        }
        TPluLineFault fault = pfNone;
        const std::optional<TZarvik12m_GoodsItem> item = ParsePluLine(text, separator, fault);
        if (!item) {
            throw EPluLineError(fault, line.Number);
        }
        goods.push_back(*item);
    }
    if (goods.empty()) {
        throw EPluEmptyFile();
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
