#pragma once

#include <filesystem>
#include <string>

namespace zarvik12m::testing {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TTempDirectory {
public:
    TTempDirectory();
    ~TTempDirectory();
    TTempDirectory(const TTempDirectory&) = delete;
    TTempDirectory& operator=(const TTempDirectory&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

// Makes a folder the current directory for the object's lifetime.
class TCurrentDirectory {
public:
    explicit TCurrentDirectory(const std::filesystem::path& directory);
    ~TCurrentDirectory();
    TCurrentDirectory(const TCurrentDirectory&) = delete;
    TCurrentDirectory& operator=(const TCurrentDirectory&) = delete;

private:
    std::filesystem::path FPrevious;
};

// A temporary folder that is the current directory meanwhile: for tests of
// what the driver writes to its current directory (the logs).
class TScratchDirectory {
public:
    TScratchDirectory() : FCurrent(FDirectory.Path()) {}
    [[nodiscard]] const std::filesystem::path& Path() const { return FDirectory.Path(); }

private:
    TTempDirectory FDirectory;
    TCurrentDirectory FCurrent;
};

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace zarvik12m::testing
