#include "tests/support/temp_directory.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace zarvik12m::testing {

TTempDirectory::TTempDirectory()
{
    // A name nobody has taken: creating the folder is what claims it.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("zarvik12m-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            FPath = candidate;
            return;
        }
    }
    throw std::runtime_error("no scratch folder could be made");
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
