#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zarvik12m::server {

// A table as a successful read found it.
struct TSnapshotInfo {
    std::string Id;  // the read job's
    std::string Created;
    std::size_t Count = 0;
};

// The last tables read from each register, so that one can be put back
// after a bad write: snapshots/<register>/<id>.json in the state folder,
// each written whole under a temporary name and then renamed, the oldest
// removed beyond Kept. An empty folder name keeps them in memory only.
class TSnapshotStore {
public:
    static constexpr std::size_t Kept = 20;

    // Finds the snapshots kept; a file that is not one is skipped and
    // logged.
    TSnapshotStore(const std::filesystem::path& stateFolder, std::ostream& log);

    // Keeps the goods (their JSON array) read by a job; a failure to write
    // is logged, not thrown: the read itself succeeded.
    void Add(const std::string& registerId, const std::string& id, const std::string& created,
             const nlohmann::json& goods);

    // The register's snapshots, newest first.
    [[nodiscard]] std::vector<TSnapshotInfo> List(const std::string& registerId) const;

    // {"id", "created", "goods"}; nothing for an unknown one.
    [[nodiscard]] std::optional<nlohmann::json> Find(const std::string& registerId, const std::string& id) const;

private:
    struct TKept {
        TSnapshotInfo Info;
        nlohmann::json Goods;  // only without a folder
    };

    [[nodiscard]] std::filesystem::path FileOf(const std::string& registerId, const std::string& id) const;

    std::filesystem::path FFolder;
    std::ostream& FLog;
    mutable std::mutex FMutex;
    std::map<std::string, std::vector<TKept>> FKept;  // per register, oldest first
};

}  // namespace zarvik12m::server
