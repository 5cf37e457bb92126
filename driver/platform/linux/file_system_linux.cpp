#include "driver/platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "driver/platform/file_error.h"
#include "driver/platform/interrupt_requests.h"

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

// Opening failed: a missing folder is told as such.
[[noreturn]] void RaiseOpenError(int errorNumber)
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

bool SameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// The name under which an open file is found now, without any link on its
// way; nothing where the system cannot tell it.
std::optional<std::string> PathOf(const TFileHandle& file)
{
    const std::string own = "/proc/self/fd/" + std::to_string(Descriptor(file));
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(own.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() || buffer[0] != '/') {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

void WriteAt(const TFileHandle& file, std::string_view bytes)
{
    off_t offset = 0;
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(Descriptor(file), bytes.data(), bytes.size(), offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EFileError(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
}

// The content of a file open for writing only, read through a second
// opening of the same file; nothing where it may not be read.
std::optional<std::string> ReadWhole(const TFileHandle& file, std::size_t size)
{
    const std::string own = "/proc/self/fd/" + std::to_string(Descriptor(file));
    const TFileHandle reading(Opened(::open(own.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)));
    if (!reading.IsOpen()) {
        return std::nullopt;
    }
    std::string content(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count =
            ::pread(Descriptor(reading), content.data() + done, size - done, static_cast<off_t>(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    content.resize(done);
    return content;
}

// A regular file written over where it stands, which every name of it
// sees. The room is reserved first where the file system can; where it
// cannot, or the writing fails all the same, the old content is put back,
// so that a failure leaves the file as it was (a file the process may
// write but not read has only the reservation).
void WriteInPlaceKeepingOld(const TFileHandle& file, std::string_view content)
{
    struct stat status {};
    if (::fstat(Descriptor(file), &status) != 0) {
        throw EFileError(errno);
    }
    const std::optional<std::string> old = ReadWhole(file, static_cast<std::size_t>(status.st_size));
    if (!content.empty() &&
        ::fallocate(Descriptor(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(content.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
        throw EFileError(errno);
    }
    try {
        WriteAt(file, content);
        if (::ftruncate(Descriptor(file), static_cast<off_t>(content.size())) != 0 ||
            (::fsync(Descriptor(file)) != 0 && errno != EINVAL)) {
            throw EFileError(errno);
        }
    } catch (const EFileError&) {
        // The old content fits the room it had.
        if (old) {
            try {
                WriteAt(file, *old);
            } catch (const EFileError&) {  // NOLINT(bugprone-empty-catch): the first failure is the one told
            }
            static_cast<void>(::ftruncate(Descriptor(file), static_cast<off_t>(old->size())));
        }
        throw;
    }
}

// A pipe or a device gets the bytes as a stream, waiting as it needs.
void WriteStream(TFileHandle& file, std::string_view content)
{
    const int flags = ::fcntl(Descriptor(file), F_GETFL);
    if (flags < 0 || ::fcntl(Descriptor(file), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throw EFileError(errno);
    }
    WriteEveryByte(file.Get(), content);
    CloseOrRaise(file);
}

// The extended attributes of a file (POSIX access lists among them), as
// far as the process may set them on the other.
void CopyExtendedAttributes(const TFileHandle& from, const TFileHandle& to)
{
    const ssize_t listSize = ::flistxattr(Descriptor(from), nullptr, 0);
    if (listSize <= 0) {
        return;
    }
    std::string names(static_cast<std::size_t>(listSize), '\0');
    const ssize_t listed = ::flistxattr(Descriptor(from), names.data(), names.size());
    if (listed <= 0) {
        return;
    }
    names.resize(static_cast<std::size_t>(listed));
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t end = std::min(names.find('\0', start), names.size());
        const std::string name = names.substr(start, end - start);
        start = end + 1;
        const ssize_t size = ::fgetxattr(Descriptor(from), name.c_str(), nullptr, 0);
        if (size < 0) {
            continue;
        }
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(Descriptor(from), name.c_str(), value.data(), value.size());
        if (got >= 0) {
            static_cast<void>(
                ::fsetxattr(Descriptor(to), name.c_str(), value.data(), static_cast<std::size_t>(got), 0));
        }
    }
}

// A file beside the target under a temporary name, removed again unless it
// has become the target. The name is owned from the moment the file exists;
// interrupt requests wait while it does, so that no request ends the
// process with the file left behind.
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

    // The target's permissions, extended attributes (its access lists
    // among them), and its owner and group where the process may set them
    // (the group alone where it may set only that).
    void TakeAttributesOf(const TFileHandle& target, const struct stat& status)
    {
        if (::fchown(Descriptor(FFile), status.st_uid, status.st_gid) != 0) {
            static_cast<void>(::fchown(Descriptor(FFile), static_cast<uid_t>(-1), status.st_gid));
        }
        SetMode(status.st_mode & 07777);
        CopyExtendedAttributes(target, FFile);
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
    TInterruptDeferral FDeferral;
    std::string FName;
    TFileHandle FFile;
    int FCreateError = 0;
};

// True when the replacement file was made; false when its folder refuses
// the temporary name, and the caller writes another way; raises any other
// failure.
bool MadeUnlessRefused(const TReplacementFile& replacement)
{
    const int createError = replacement.CreateError();
    if (createError != 0 && !FolderRefused(createError)) {
        RaiseOpenError(createError);
    }
    return createError == 0;
}

// True when the replacement has become the target; false when its folder
// refuses the rename, and the caller writes another way; raises any other
// failure.
bool CommittedUnlessRefused(TReplacementFile& replacement, const std::string& target)
{
    const int renameError = replacement.Commit(target);
    if (renameError != 0 && !FolderRefused(renameError)) {
        throw EFileError(renameError);
    }
    return renameError == 0;
}

// A file that did not exist: made under a temporary name and renamed, or,
// where the folder refuses the temporary name, made in place.
void WriteNewFile(const std::string& fileName, std::string_view content)
{
    {
        TReplacementFile replacement(fileName);
        if (MadeUnlessRefused(replacement)) {
            replacement.SetMode(NewFileMode());
            replacement.Write(content);
            if (CommittedUnlessRefused(replacement, fileName)) {
                return;
            }
        }
    }
    TFileHandle file(
        Opened(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666)));
    if (!file.IsOpen()) {
        RaiseOpenError(errno);
    }
    try {
        WriteEveryByte(file.Get(), content);
        CloseOrRaise(file);
    } catch (const EFileError&) {
        static_cast<void>(::unlink(fileName.c_str()));
        throw;
    }
}

// An existing regular file, open for writing: replaced by a complete new
// file where its folder lets it, written over in place otherwise.
void ReplaceRegularFile(const TFileHandle& file, const struct stat& status, std::string_view content)
{
    // More than one name: each is to see the new table.
    const std::optional<std::string> target = status.st_nlink == 1 ? PathOf(file) : std::nullopt;
    if (!target) {
        WriteInPlaceKeepingOld(file, content);
        return;
    }
    {
        TReplacementFile replacement(*target);
        if (MadeUnlessRefused(replacement)) {
            replacement.TakeAttributesOf(file, status);
            replacement.Write(content);
            // Only the file opened is replaced, never one put in its place
            // meanwhile.
            struct stat now {};
            if (::lstat(target->c_str(), &now) == 0 && SameFile(now, status) &&
                CommittedUnlessRefused(replacement, *target)) {
                return;
            }
        }
    }
    WriteInPlaceKeepingOld(file, content);
}

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
    // The name itself is opened, so that the kernel follows a link only
    // where its link protection lets this user (in a sticky folder open to
    // all, a link of another owner than the user or the folder's owner is
    // refused); and it is opened for writing, so that a file the user may
    // not write is refused although its folder would let it be replaced.
    // Not waiting for a pipe's reader here keeps a pipe from being taken
    // for a missing file.
    constexpr int Flags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    TFileHandle file(Opened(::open(fileName.c_str(), Flags)));
    if (!file.IsOpen()) {
        const int error = errno;
        struct stat status {};
        if (error == ENXIO && ::stat(fileName.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
            // A pipe without a reader yet: its writer waits for one.
            file = TFileHandle(Opened(::open(fileName.c_str(), Flags & ~O_NONBLOCK)));
            if (!file.IsOpen()) {
                RaiseOpenError(errno);
            }
        } else if (error == ENOENT && ::lstat(fileName.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
            // A link that leads nowhere yet: its target is made, as the
            // kernel's link protection allows, and written in place.
            file = TFileHandle(Opened(::open(fileName.c_str(), Flags | O_CREAT, 0666)));
            if (!file.IsOpen()) {
                RaiseOpenError(errno);
            }
        } else if (error == ENOENT) {
            WriteNewFile(fileName, content);
            return;
        } else {
            RaiseOpenError(error);
        }
    }
    struct stat status {};
    if (::fstat(Descriptor(file), &status) != 0) {
        throw EFileError(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        WriteStream(file, content);
        return;
    }
    ReplaceRegularFile(file, status, content);
    CloseOrRaise(file);
}

}  // namespace zarvik12m
