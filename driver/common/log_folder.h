#pragma once

#include <string>

// Where the library's logs go: the folder named by ZARVIK12M_LOG_DIR, or,
// where it is unset or empty, the current folder (a bare file name).

namespace zarvik12m {

inline constexpr const char* LogFolderVariable = "ZARVIK12M_LOG_DIR";

// The path of a log file of the given name. The folder is taken as it is
// named at each call; a folder that does not exist is not made (the log's
// lines are then lost, as with any log that cannot be opened).
std::string LogFilePath(const std::string& fileName);

}  // namespace zarvik12m
