#include "driver/common/log_folder.h"

#include <cstdlib>
#include <filesystem>

namespace zarvik12m {

std::string LogFilePath(const std::string& fileName)
{
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is set before the library is used
    const char* folder = std::getenv(LogFolderVariable);
    if (folder == nullptr || *folder == '\0') {
        return fileName;
    }
    return (std::filesystem::path(folder) / fileName).string();
}

}  // namespace zarvik12m
