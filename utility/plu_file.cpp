#include "utility/plu_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "driver/common/cp1251.h"
#include "utility/file_error.h"
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

// A new file's permissions: everybody may read and write, less the
// process's umask, as for any file a program creates.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

void WriteOrRaise(int descriptor, std::string_view bytes)
{
    const int error = WriteAllBytes(descriptor, bytes);
    if (error != 0) {
        throw EFileError(error);
    }
}

void CloseOrRaise(TFileHandle& file)
{
    const int error = file.Close();
    if (error != 0) {
        throw EFileError(error);
    }
}

// Opening for writing failed: a missing folder is told as such.
[[noreturn]] void RaiseCreateError(int errorNumber)
{
    if (errorNumber == ENOENT) {
        throw EFileError(errorNumber, "Path not found");
    }
    throw EFileError(errorNumber);
}

// An existing file that is not a regular one (a device, a pipe, a file
// behind a dangling link): written in place, as renaming over it would
// replace the file itself.
void WriteInPlace(const std::string& fileName, std::string_view content)
{
    TFileHandle file(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.IsOpen()) {
        RaiseCreateError(errno);
    }
    WriteOrRaise(file.Get(), content);
    CloseOrRaise(file);
}

// A temporary file beside the target that becomes the target when it is
// complete, and otherwise is removed again.
class TReplacementFile {
public:
    TReplacementFile(std::string target, mode_t mode) : FTarget(std::move(target))
    {
        std::string pattern = FTarget + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FFile = TFileHandle(::mkostemp(name.data(), O_CLOEXEC));
        if (!FFile.IsOpen()) {
            RaiseCreateError(errno);
        }
        FName = name.data();
        if (::fchmod(FFile.Get(), mode) != 0) {
            throw EFileError(errno);
        }
    }

    ~TReplacementFile()
    {
        if (!FName.empty()) {
            static_cast<void>(FFile.Close());
            static_cast<void>(::unlink(FName.c_str()));
        }
    }

    TReplacementFile(const TReplacementFile&) = delete;
    TReplacementFile& operator=(const TReplacementFile&) = delete;

    void Write(std::string_view bytes) { WriteOrRaise(FFile.Get(), bytes); }

    // The content reaches the disk before the rename makes it the target,
    // so that the target is the old file or the new one, never a part.
    void Commit()
    {
        if (::fsync(FFile.Get()) != 0 && errno != EINVAL) {
            throw EFileError(errno);
        }
        CloseOrRaise(FFile);
        if (::rename(FName.c_str(), FTarget.c_str()) != 0) {
            throw EFileError(errno);
        }
        FName.clear();
    }

private:
    std::string FTarget;
    std::string FName;
    TFileHandle FFile;
};

}  // namespace

TPluFileReader::TPluFileReader(const std::string& fileName)
{
    if (fileName.empty()) {
        FDescriptor = STDIN_FILENO;
    } else {
        FOwnedFile = TFileHandle(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
        if (!FOwnedFile.IsOpen()) {
            throw EFileError(errno);
        }
        FDescriptor = FOwnedFile.Get();
    }
}

TPluFileReader TPluFileReader::OfDescriptor(int descriptor)
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
    for (;;) {
        const ssize_t count = ::read(FDescriptor, FBuffer.data(), FBuffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EFileError(errno);
        }
        FStart = 0;
        FEnd = static_cast<std::size_t>(count);
        FAtEnd = count == 0;
        return !FAtEnd;
    }
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
                  int standardOutput)
{
    std::string content;
    const std::size_t lines = std::min<std::size_t>(count, goods.size());
    for (std::size_t i = 0; i < lines; ++i) {
        content += FormatPluLine(goods[i], separator);
    }
    if (fileName.empty()) {
        WriteOrRaise(standardOutput, content);
        return;
    }

    // A link to a regular file replaces the file it points to, not itself.
    std::string target = fileName;
    struct stat status {};
    if (::lstat(fileName.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved) == nullptr) {
            WriteInPlace(fileName, content);
            return;
        }
        target = resolved;
    }
    mode_t mode = 0;
    if (::stat(target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            throw EFileError(EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            WriteInPlace(target, content);
            return;
        }
        mode = status.st_mode & 07777;
    } else {
        mode = NewFileMode();
    }
    TReplacementFile file(target, mode);
    file.Write(content);
    file.Commit();
}

}  // namespace zarvik12m
