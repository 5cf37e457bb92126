#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "driver/platform/file.h"

// The PLU file's work with the system's files. Failures raise EFileError
// (file_error.h) with the system's error code and its message.

namespace zarvik12m {

// Opens an existing file for reading: "File not found" when it is missing,
// "Path not found" when a folder on its way is.
TFileHandle OpenFileForReading(const std::string& fileName);

// Reads what there is, at most size bytes; 0 at the end of the file.
std::size_t ReadFileBytes(TNativeFile file, char* buffer, std::size_t size);

// Writes every byte.
void WriteEveryByte(TNativeFile file, std::string_view bytes);

// Makes the content the whole of the named file, without changing what its
// user relies on:
// - a regular file (or a new one) is written beside itself under a
//   temporary name that replaces it only once complete, so a failure
//   leaves the earlier file as it was; the new file takes the old one's
//   permissions, and its owner and group where the process may set them;
// - an existing file that the process may not write is not replaced
//   ("File access denied"), although its folder would let it go;
// - where the folder cannot take the temporary file, or cannot let it
//   replace the old one, while the file itself may be written, the file is
//   written in place;
// - an existing file that is no regular one (a device, a pipe) is written
//   in place; through a link, the file it leads to is replaced;
// - no temporary file outlives a failure.
void ReplaceFileContent(const std::string& fileName, std::string_view content);

}  // namespace zarvik12m
