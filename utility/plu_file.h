#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "driver/platform/file.h"
#include "zarvik12m/goods.h"

// The PLU file on disk (or on standard output and input when its name is
// empty). Failures raise EFileError (file_error.h).

namespace zarvik12m {

// Reads a file line by line. A line ends at LF or CR LF; a CR elsewhere does
// not end it and is dropped from its text; a last line without a line end
// counts too.
class TPluFileReader {
public:
    // Opens the file; an empty name reads standard input.
    explicit TPluFileReader(const std::string& fileName);

    // Reads an open descriptor that it does not own.
    static TPluFileReader OfDescriptor(TNativeFile descriptor);

    // The next line without its end; false at the end of the file.
    bool ReadLine(std::string& line);

private:
    TPluFileReader() = default;

    bool FillBuffer();

    TFileHandle FOwnedFile;
    TNativeFile FDescriptor = NoFile;
    std::vector<char> FBuffer;
    std::size_t FStart = 0;
    std::size_t FEnd = 0;
    bool FAtEnd = false;
};

// A line of the PLU file that cannot be sent: "Ошибка: <what> в строке
// <line> файла PLU".
class EPluLineError : public std::runtime_error {
public:
    [[nodiscard]] std::size_t LineNumber() const noexcept { return FLineNumber; }

protected:
    EPluLineError(std::string_view what, std::size_t lineNumber);

private:
    std::size_t FLineNumber;
};

// A numeric field that holds no valid number.
class EPluValueError final : public EPluLineError {
public:
    explicit EPluValueError(std::size_t lineNumber);
};

// A character of a UTF-8 file that Windows-1251 cannot hold.
class EPluEncodingError final : public EPluLineError {
public:
    explicit EPluEncodingError(std::size_t lineNumber);
};

// Reads at most MaxGoodsCount lines into the goods (which end with one entry
// per line read) and ignores the rest of the file. The lines are
// Windows-1251, as /l writes them, unless all of them together are
// well-formed UTF-8 with at least one byte above 0x7F, as a file edited on
// Linux is: then they are converted to Windows-1251 first, a byte-order mark
// at the start dropped. A Windows-1251 text with Cyrillic letters is never
// well-formed UTF-8 in practice. The first line that cannot be sent, by an
// invalid number or a character without a Windows-1251 form, raises its
// EPluLineError.
void ReadPluGoods(TPluFileReader& reader, char separator, TZarvik12m_Goods& goods);

// Writes the first count entries, one line each, as the whole of the file
// (ReplaceFileContent of file_system.h: an earlier file stays as it was
// unless the writing succeeds). An empty name writes to the given standard
// output descriptor.
void WritePluFile(const std::string& fileName, const TZarvik12m_Goods& goods, std::uint16_t count, char separator,
                  TNativeFile standardOutput);

}  // namespace zarvik12m
