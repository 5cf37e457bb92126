#include "tests/support/temp_directory.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace zarvik12m::testing {

TTempDirectory::TTempDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zarvik12m-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    FPath = buffer.data();
}

TTempDirectory::~TTempDirectory()
{
    std::error_code ignored;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(FPath, ignored);
}

TCurrentDirectory::TCurrentDirectory(const std::filesystem::path& directory)
    : FPrevious(std::filesystem::current_path())
{
    std::filesystem::current_path(directory);
}

TCurrentDirectory::~TCurrentDirectory()
{
    std::error_code ignored;
    std::filesystem::current_path(FPrevious, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zarvik12m::testing
