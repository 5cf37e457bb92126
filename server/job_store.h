#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "server/job.h"

namespace zarvik12m::server {

// The jobs in the state folder, one file each (jobs/<id>.json), each written
// whole under a temporary name and then renamed over the old one, so that a
// crash leaves either the old record or the new one. An empty folder name
// keeps nothing (every call does nothing).
class TJobStore {
public:
    explicit TJobStore(const std::filesystem::path& stateFolder);

    // Every job kept, in no particular order. A file that is not a job's
    // record is skipped and named in problems.
    std::vector<TJob> LoadAll(std::vector<std::string>& problems) const;

    // Keeps the job; throws std::runtime_error with the reason on failure.
    void Save(const TJob& job) const;

    // Forgets the job; a missing file is no failure.
    void Remove(const std::string& id) const noexcept;

private:
    std::filesystem::path FFolder;
};

}  // namespace zarvik12m::server
