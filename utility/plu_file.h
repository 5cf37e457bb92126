#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "utility/file_handle.h"
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
    static TPluFileReader OfDescriptor(int descriptor);

    // The next line without its end; false at the end of the file.
    bool ReadLine(std::string& line);

private:
    TPluFileReader() = default;

    bool FillBuffer();

    TFileHandle FOwnedFile;
    int FDescriptor = -1;
    std::vector<char> FBuffer;
    std::size_t FStart = 0;
    std::size_t FEnd = 0;
    bool FAtEnd = false;
};

// A numeric field of a PLU line that holds no valid number.
class EPluValueError : public std::runtime_error {
public:
    explicit EPluValueError(std::size_t lineNumber);

    [[nodiscard]] std::size_t LineNumber() const noexcept { return FLineNumber; }

private:
    std::size_t FLineNumber;
};

// Reads at most MaxGoodsCount lines into the goods (which end with one entry
// per line read) and ignores the rest of the file. A line with an invalid
// number raises EPluValueError with its 1-based number.
void ReadPluGoods(TPluFileReader& reader, char separator, TZarvik12m_Goods& goods);

// Writes the first count entries, one line each. A regular file (or a new
// one) is written beside its target under a temporary name and renamed
// over it only when complete, so a failure leaves an earlier file as it
// was; other existing files (devices, pipes) are written directly. An empty
// name writes to the given standard output descriptor.
void WritePluFile(const std::string& fileName, const TZarvik12m_Goods& goods, std::uint16_t count, char separator,
                  int standardOutput);

}  // namespace zarvik12m
