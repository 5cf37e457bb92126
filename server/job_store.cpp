#include "server/job_store.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "driver/platform/file_error.h"
#include "driver/platform/file_system.h"

namespace zarvik12m::server {

namespace {

constexpr std::string_view RecordExtension = ".json";

// Job files are named after identifiers the service made: hexadecimal only.
bool IsJobFileName(const std::filesystem::path& path)
{
    if (path.extension() != RecordExtension) {
        return false;
    }
    const std::string stem = path.stem().string();
    return !stem.empty() && stem.size() <= 64 && stem.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

TJobStore::TJobStore(const std::filesystem::path& stateFolder)
{
    if (stateFolder.empty()) {
        return;
    }
    FFolder = stateFolder / "jobs";
    std::filesystem::create_directories(FFolder);
}

std::vector<TJob> TJobStore::LoadAll(std::vector<std::string>& problems) const
{
    std::vector<TJob> jobs;
    if (FFolder.empty()) {
        return jobs;
    }
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(FFolder)) {
        if (!entry.is_regular_file() || !IsJobFileName(entry.path())) {
            continue;
        }
        try {
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            TJob job = JobFromRecord(nlohmann::json::parse(text));
            if (job.Id != entry.path().stem().string()) {
                throw std::invalid_argument("the record belongs to job " + job.Id);
            }
            jobs.push_back(std::move(job));
        } catch (const std::exception& e) {
            problems.push_back(entry.path().string() + ": " + e.what());
        }
    }
    return jobs;
}

void TJobStore::Save(const TJob& job) const
{
    if (FFolder.empty()) {
        return;
    }
    const std::string path = (FFolder / (job.Id + std::string(RecordExtension))).string();
    try {
        ReplaceFileContent(path, JobToRecord(job).dump());
    } catch (const EFileError& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

void TJobStore::Remove(const std::string& id) const noexcept
{
    if (FFolder.empty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(FFolder / (id + std::string(RecordExtension)), ignored);
}

}  // namespace zarvik12m::server
