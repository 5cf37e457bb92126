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

    // The next line without its end; false at the end of the file. A line
    // longer than maxLength bytes is cut after maxLength + 1 of them, and
    // the reading stops there: the caller is to refuse it.
    bool ReadLine(std::string& line, std::size_t maxLength = std::string::npos - 1);

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

// The longest line /w takes, in bytes; /l writes 64.
inline constexpr std::size_t MaxPluLineLength = 4096;

// Why a line of the PLU file cannot be sent, beyond its fields
// (TPluLineFault of plu_line.h).
enum TPluFileFault : std::uint8_t {
    ffTooLong = 100,  // a line longer than MaxPluLineLength
    ffTooMany,        // an entry beyond the table's MaxGoodsCount
    ffEncoding,       // a character of a UTF-8 file that Windows-1251 cannot hold
};

// A line of the PLU file that cannot be sent: "Ошибка: <why> в строке
// <line> файла PLU".
class EPluLineError : public std::runtime_error {
public:
    // fault: a TPluLineFault or a TPluFileFault.
    EPluLineError(std::uint8_t fault, std::size_t lineNumber);

    [[nodiscard]] std::uint8_t Fault() const noexcept { return FFault; }
    [[nodiscard]] std::size_t LineNumber() const noexcept { return FLineNumber; }

private:
    std::uint8_t FFault;
    std::size_t FLineNumber;
};

// A file with no entry at all: nothing to write.
class EPluEmptyFile : public std::runtime_error {
public:
    EPluEmptyFile();
};

// Reads the goods of the file, one entry per line that is not blank (blank
// lines are skipped), and refuses the whole file, before anything is sent,
// at the first line the register could not take as it stands
// (EPluLineError): fields missing or out of the register's ranges, a line
// longer than MaxPluLineLength, more than MaxGoodsCount entries. The
// reading stops there, so that memory stays bounded whatever the file
// holds. A file without entries raises EPluEmptyFile. The lines are
// Windows-1251, as /l writes them, unless all of them together are
// well-formed UTF-8 with at least one byte above 0x7F, as a file edited on
// Linux is: then they are converted to Windows-1251 first, a byte-order mark
// at the start dropped. A Windows-1251 text with Cyrillic letters is never
// well-formed UTF-8 in practice.
void ReadPluGoods(TPluFileReader& reader, char separator, TZarvik12m_Goods& goods);

// Writes the first count entries, one line each, as the whole of the file
// (ReplaceFileContent of file_system.h: an earlier file stays as it was
// unless the writing succeeds). An empty name writes to the given standard
// output descriptor.
void WritePluFile(const std::string& fileName, const TZarvik12m_Goods& goods, std::uint16_t count, char separator,
                  TNativeFile standardOutput);

}  // namespace zarvik12m
