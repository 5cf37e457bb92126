#include "driver/platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "driver/platform/file_error.h"

namespace zarvik12m {

namespace {

TNativeFile Opened(int descriptor) noexcept
{
    return descriptor < 0 ? NoFile : TNativeFile{descriptor};
}

int Descriptor(const TFileHandle& file) noexcept
{
    return static_cast<int>(file.Get());
}

// A new file's permissions: everybody may read and write, less the
// process's umask, as for any file a program creates.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
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

// Whether making or renaming a file failed for the folder's sake rather
// than the target's: the folder may not be written, its sticky bit keeps
// another's file, or the temporary name is too long for it.
bool FolderRefused(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM || errorNumber == ENAMETOOLONG;
}

// The file truncated and written over. An existing one is opened as it is,
// not created anew, which a folder where others may create files could
// refuse.
void WriteInPlace(const std::string& fileName, std::string_view content, bool exists)
{
    const int flags = O_WRONLY | O_TRUNC | O_CLOEXEC | (exists ? 0 : O_CREAT);
    TFileHandle file(Opened(::open(fileName.c_str(), flags, 0666)));
    if (!file.IsOpen()) {
        RaiseCreateError(errno);
    }
    WriteEveryByte(file.Get(), content);
    CloseOrRaise(file);
}

// A file beside the target under a temporary name, removed again unless it
// has become the target. The name is owned from the moment the file exists.
class TReplacementFile {
public:
    explicit TReplacementFile(const std::string& target) : FName(target + ".XXXXXX")
    {
        FFile = TFileHandle(Opened(::mkostemp(FName.data(), O_CLOEXEC)));
        if (!FFile.IsOpen()) {
            FCreateError = errno;
            FName.clear();
        }
    }

    ~TReplacementFile() { Discard(); }

    TReplacementFile(const TReplacementFile&) = delete;
    TReplacementFile& operator=(const TReplacementFile&) = delete;

    // The system's error number when the file could not be made, or 0.
    [[nodiscard]] int CreateError() const noexcept { return FCreateError; }

    // The target's permissions, and its owner and group where the process
    // may set them (the group alone where it may set only that).
    void TakeAttributesOf(const struct stat& target)
    {
        if (::fchown(Descriptor(FFile), target.st_uid, target.st_gid) != 0) {
            static_cast<void>(::fchown(Descriptor(FFile), static_cast<uid_t>(-1), target.st_gid));
        }
        SetMode(target.st_mode & 07777);
    }

    void SetMode(mode_t mode)
    {
        if (::fchmod(Descriptor(FFile), mode) != 0) {
            throw EFileError(errno);
        }
    }

    void Write(std::string_view bytes) { WriteEveryByte(FFile.Get(), bytes); }

    // The content reaches the disk before the rename makes it the target,
    // so that the target is the old file or the new one, never a part. The
    // system's error number of a refused rename, or 0.
    int Commit(const std::string& target)
    {
        if (::fsync(Descriptor(FFile)) != 0 && errno != EINVAL) {
            throw EFileError(errno);
        }
        CloseOrRaise(FFile);
        if (::rename(FName.c_str(), target.c_str()) != 0) {
            return errno;
        }
        FName.clear();
        return 0;
    }

    void Discard() noexcept
    {
        if (!FName.empty()) {
            static_cast<void>(FFile.Close());
            static_cast<void>(::unlink(FName.c_str()));
            FName.clear();
        }
    }

private:
    std::string FName;
    TFileHandle FFile;
    int FCreateError = 0;
};

}  // namespace

TFileHandle OpenFileForReading(const std::string& fileName)
{
    TFileHandle file(Opened(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC)));
    if (!file.IsOpen()) {
        const int error = errno;
        const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
        std::error_code ignored;
        if (error == ENOENT && !folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
            throw EFileError(error, "Path not found");
        }
        throw EFileError(error);
    }
    return file;
}

void ReplaceFileContent(const std::string& fileName, std::string_view content)
{
    // A link to a regular file replaces the file it points to, not itself.
    std::string target = fileName;
    struct stat status {};
    if (::lstat(fileName.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved) == nullptr) {
            WriteInPlace(fileName, content, false);
            return;
        }
        target = resolved;
    }
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (exists) {
        if (S_ISDIR(status.st_mode)) {
            throw EFileError(EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            WriteInPlace(target, content, true);
            return;
        }
        if (::access(target.c_str(), W_OK) != 0) {
            throw EFileError(errno);
        }
    }

    TReplacementFile replacement(target);
    if (replacement.CreateError() != 0) {
        if (FolderRefused(replacement.CreateError())) {
            WriteInPlace(target, content, exists);
            return;
        }
        RaiseCreateError(replacement.CreateError());
    }
    if (exists) {
        replacement.TakeAttributesOf(status);
    } else {
        replacement.SetMode(NewFileMode());
    }
    replacement.Write(content);
    const int renameError = replacement.Commit(target);
    if (renameError != 0) {
        replacement.Discard();
        if (FolderRefused(renameError)) {
            WriteInPlace(target, content, exists);
            return;
        }
        throw EFileError(renameError);
    }
}

}  // namespace zarvik12m
