#include "driver/platform/file_system.h"

#include <windows.h>

#include "driver/platform/file_error.h"

namespace zarvik12m {

namespace {

int LastError() noexcept
{
    return static_cast<int>(GetLastError());
}

TNativeFile NativeFileOf(HANDLE handle) noexcept
{
    return handle == INVALID_HANDLE_VALUE
               ? NoFile
               : reinterpret_cast<TNativeFile>(handle);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

HANDLE Handle(const TFileHandle& file) noexcept
{
    return reinterpret_cast<HANDLE>(
        file.Get());  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
}

void CloseOrRaise(TFileHandle& file)
{
    const int error = file.Close();
    if (error != 0) {
        throw EFileError(error);
    }
}

// Whether making or renaming the temporary file failed for the folder's
// sake rather than the target's.
bool FolderRefused(int error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_FILENAME_EXCED_RANGE;
}

// The file truncated and written over, in binary: the content goes in
// byte for byte, its CR LF line ends as they are.
void WriteInPlace(const std::string& fileName, std::string_view content)
{
    TFileHandle file(NativeFileOf(
        CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.IsOpen()) {
        throw EFileError(LastError());
    }
    if (SetEndOfFile(Handle(file)) == FALSE) {
        throw EFileError(LastError());
    }
    WriteEveryByte(file.Get(), content);
    CloseOrRaise(file);
}

}  // namespace

TFileHandle OpenFileForReading(const std::string& fileName)
{
    TFileHandle file(NativeFileOf(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.IsOpen()) {
        throw EFileError(LastError());
    }
    return file;
}

void ReplaceFileContent(const std::string& fileName, std::string_view content)
{
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw EFileError(ERROR_ACCESS_DENIED);
    }
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw EFileError(ERROR_ACCESS_DENIED);
    }
    if (!exists) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            throw EFileError(static_cast<int>(error));
        }
    }

    // The new content is written beside the file and replaces it once
    // complete, so a failure leaves the earlier file as it was.
    const std::string temporary = fileName + ".~" + std::to_string(GetCurrentProcessId());
    TFileHandle file(NativeFileOf(
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.IsOpen()) {
        const int error = LastError();
        if (exists && FolderRefused(error)) {
            WriteInPlace(fileName, content);
            return;
        }
        throw EFileError(error);
    }
    try {
        WriteEveryByte(file.Get(), content);
        if (FlushFileBuffers(Handle(file)) == FALSE) {
            throw EFileError(LastError());
        }
        CloseOrRaise(file);
        if (MoveFileExA(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
            FALSE) {
            throw EFileError(LastError());
        }
    } catch (...) {
        static_cast<void>(file.Close());
        DeleteFileA(temporary.c_str());
        throw;
    }
}

}  // namespace zarvik12m
