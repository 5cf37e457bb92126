#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/common/cp1251.h"
#include "driver/platform/file_error.h"
#include "driver/platform/file_system.h"
#include "tests/support/temp_directory.h"
#include "utility/plu_file.h"
#include "utility/plu_line.h"

namespace zarvik12m {
namespace {

using testing::ReadFileBytes;
using testing::TTempDirectory;
using testing::WriteFileBytes;

std::vector<std::string> LinesOf(TPluFileReader& reader)
{
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(PluFileReader, SplitsLinesAtLfAndCrLfAndDropsLoneCr)
{
    const TTempDirectory directory;
    const struct {
        std::string Content;
        std::vector<std::string> Lines;
    } cases[] = {
        {"", {}},
        {"a\nb\r\nc", {"a", "b", "c"}},  // the last line without its end counts
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\n", {"ab"}},    // a lone CR neither ends the line nor stays
        {"a\n\n", {"a", ""}},  // an empty line
        {"\r", {""}},
        {"\n", {""}},
        {"x\r\r\n", {"x"}},
        {std::string(100000, 'z') + "\r\n1", {std::string(100000, 'z'), "1"}},
    };
    for (const auto& c : cases) {
        const auto path = directory.Path() / "plu.txt";
        WriteFileBytes(path, c.Content);
        TPluFileReader reader(path.string());
        EXPECT_EQ(LinesOf(reader), c.Lines) << c.Content.substr(0, 20);
    }
}

TEST(PluFileReader, ReportsFilesThatCannotBeRead)
{
    const TTempDirectory directory;
    try {
        TPluFileReader reader((directory.Path() / "missing.txt").string());
        FAIL() << "opened a missing file";
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "File not found");
        EXPECT_EQ(error.Kind(), TErrorKind::NotFound);
        EXPECT_EQ(error.SystemError().Code, ENOENT);
    }
    TPluFileReader folder(directory.Path().string());
    std::string line;
    try {
        folder.ReadLine(line);
        FAIL() << "read a folder";
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "File access denied");
    }
}

TEST(PluFileReader, ReportsAReadFailureAfterTheLinesBeforeIt)
{
    // A stream socket whose peer goes away with data unread: the reader
    // gets what was sent, then ECONNRESET.
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(::write(ends[0], "x", 1), 1);
    const std::string lines = "1;;;;;1\r\n2;;;;;2\r\n";
    ASSERT_EQ(::write(ends[1], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ::close(ends[1]);

    TPluFileReader reader = TPluFileReader::OfDescriptor(ends[0]);
    std::string line;
    EXPECT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "1;;;;;1");
    EXPECT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "2;;;;;2");
    try {
        reader.ReadLine(line);
        FAIL() << "no read failure";
    } catch (const EFileError& error) {
        EXPECT_EQ(error.ErrorNumber(), ECONNRESET);
        EXPECT_EQ(error.what(), "I/O error " + std::to_string(ECONNRESET));
        EXPECT_EQ(error.Kind(), TErrorKind::Closed);
        EXPECT_EQ(error.SystemError().Text, SystemErrorOf(ECONNRESET).Text);
    }
    ::close(ends[0]);
}

// The fault of the first line that the goods reading refuses, or "none".
std::string RefusalOf(const std::filesystem::path& path, const std::string& content, TZarvik12m_Goods& goods)
{
    WriteFileBytes(path, content);
    TPluFileReader reader(path.string());
    try {
        ReadPluGoods(reader, ';', goods);
    } catch (const EPluLineError& error) {
        return std::to_string(error.Fault()) + "@" + std::to_string(error.LineNumber());
    } catch (const EPluEmptyFile&) {
        return "empty";
    }
    return "none";
}

TEST(ReadPluGoods, SkipsBlankLinesAndRefusesFilesBeyondTheTable)
{
    const TTempDirectory directory;
    const auto path = directory.Path() / "plu.txt";
    std::string table;
    for (int i = 1; i <= 4000; ++i) {
        table += std::to_string(i) + ";;;;;\r\n";
    }
    TZarvik12m_Goods goods;
    EXPECT_EQ(RefusalOf(path, "\r\n" + table + " \t\r\n\r\n", goods), "none");
    ASSERT_EQ(goods.size(), MaxGoodsCount);
    EXPECT_EQ(goods.back().Code, 4000);
    // The entry after the table's last, wherever the blank lines put it.
    EXPECT_EQ(RefusalOf(path, table + "\n\n4001;;;;;\n", goods), std::to_string(ffTooMany) + "@4003");
    EXPECT_EQ(RefusalOf(path, "\n\n\r\n", goods), "empty");
    EXPECT_EQ(RefusalOf(path, "", goods), "empty");
    EXPECT_EQ(RefusalOf(path, "1;;;;;\n" + std::string(MaxPluLineLength, ' ') + "\n", goods), "none");
    EXPECT_EQ(RefusalOf(path, "1;;;;;\n" + std::string(MaxPluLineLength + 1, ' ') + "\n", goods),
              std::to_string(ffTooLong) + "@2");
    EXPECT_EQ(RefusalOf(path, "1;;;;;\n\n3;;12,50;;;\n", goods), std::to_string(pfNumber) + "@3");
    // Line numbers count the blank lines and the lines of a UTF-8 file.
    EXPECT_EQ(RefusalOf(path, "\xEF\xBB\xBF\n1;;;Чай;;\n\n2;;;Чай;;1;2\n", goods), std::to_string(pfNumber) + "@4");

    EXPECT_EQ(EPluLineError(pfGroup, 12).what(), std::string("Ошибка: Группа вне 0..255 в строке 12 файла PLU"_cp1251));
}

TEST(ReadPluGoods, StopsAtTheFirstOverlongLineOfAnEndlessStream)
{
    TFileHandle zero = OpenFileForReading("/dev/zero");
    TPluFileReader reader = TPluFileReader::OfDescriptor(zero.Get());
    TZarvik12m_Goods goods;
    try {
        ReadPluGoods(reader, ';', goods);
        FAIL() << "an endless line was taken";
    } catch (const EPluLineError& error) {
        EXPECT_EQ(error.Fault(), ffTooLong);
        EXPECT_EQ(error.LineNumber(), 1U);
    }
}

TEST(FileErrorMessage, NamesTheUsualFailures)
{
    EXPECT_EQ(FileErrorMessage(ENOENT), "File not found");
    EXPECT_EQ(FileErrorMessage(ENOTDIR), "Path not found");
    EXPECT_EQ(FileErrorMessage(EACCES), "File access denied");
    EXPECT_EQ(FileErrorMessage(EROFS), "File access denied");
    EXPECT_EQ(FileErrorMessage(ENOSPC), "Disk full");
    EXPECT_EQ(FileErrorMessage(EMFILE), "Too many open files");
    EXPECT_EQ(FileErrorMessage(EIO), "I/O error " + std::to_string(EIO));
}

TZarvik12m_Goods TwoGoods()
{
    TZarvik12m_Goods goods(2, TZarvik12m_GoodsItem{});
    goods[0].Code = 1;
    goods[1].Code = 2;
    return goods;
}

std::string ErrorOfWrite(const std::filesystem::path& path)
{
    try {
        WritePluFile(path.string(), TwoGoods(), 2, ';', -1);
    } catch (const EFileError& error) {
        return error.what();
    }
    return "no error";
}

TEST(WritePluFile, ReplacesAFileOnlyWhenComplete)
{
    const TTempDirectory directory;
    const auto path = directory.Path() / "plu.txt";
    WriteFileBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WritePluFile(path.string(), TwoGoods(), 1, ';', -1);
    EXPECT_EQ(ReadFileBytes(path), "   1;             ;       0.00;                ; 0;      0.000\r\n");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640U);  // the replaced file's permissions stay

    // Through a link, the file it points to is replaced and the link stays.
    const auto link = directory.Path() / "link.txt";
    std::filesystem::create_symlink(path, link);
    WritePluFile(link.string(), TwoGoods(), 2, ';', -1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(path).size(), 2 * 64U);

    EXPECT_EQ(ErrorOfWrite(directory.Path() / "no-folder" / "plu.txt"), "Path not found");
    EXPECT_EQ(ErrorOfWrite(directory.Path()), "File access denied");
    EXPECT_EQ(ErrorOfWrite("/dev/full"), "Disk full");
    // Nothing but the files above is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Path()), {}), 2);
}

TEST(WritePluFile, WritesStandardOutputForAnEmptyName)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    WritePluFile("", TwoGoods(), 1, ';', ends[1]);
    ::close(ends[1]);
    char buffer[200];
    const ssize_t count = ::read(ends[0], buffer, sizeof buffer);
    ::close(ends[0]);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0))),
              "   1;             ;       0.00;                ; 0;      0.000\r\n");
}

}  // namespace
}  // namespace zarvik12m
