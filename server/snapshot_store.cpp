#include "server/snapshot_store.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <syncstream>
#include <system_error>

#include "driver/platform/file_error.h"
#include "driver/platform/file_system.h"

namespace zarvik12m::server {

namespace {

constexpr std::string_view Extension = ".json";

// Snapshot files are named after job identifiers: hexadecimal only.
bool IsSnapshotId(const std::string& id)
{
    return !id.empty() && id.size() <= 64 && id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

nlohmann::json ReadJsonFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return nlohmann::json::parse(text);
}

}  // namespace

TSnapshotStore::TSnapshotStore(const std::filesystem::path& stateFolder, std::ostream& log) : FLog(log)
{
    if (stateFolder.empty()) {
        return;
    }
    FFolder = stateFolder / "snapshots";
    std::filesystem::create_directories(FFolder);
    for (const std::filesystem::directory_entry& folder : std::filesystem::directory_iterator(FFolder)) {
        if (!folder.is_directory()) {
            continue;
        }
        const std::string registerId = folder.path().filename().string();
        std::vector<TKept>& kept = FKept[registerId];
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(folder.path())) {
            const std::string id = entry.path().stem().string();
            if (!entry.is_regular_file() || entry.path().extension() != Extension || !IsSnapshotId(id)) {
                continue;
            }
            try {
                const nlohmann::json record = ReadJsonFile(entry.path());
                if (record.at("id").get<std::string>() != id || !record.at("goods").is_array()) {
                    throw std::invalid_argument("not the snapshot its name says");
                }
                kept.push_back({{id, record.at("created").get<std::string>(), record.at("goods").size()}, nullptr});
            } catch (const std::exception& e) {
                std::osyncstream(FLog) << "zarvik12m-server: skipped a snapshot: " << entry.path().string() << ": "
                                       << e.what() << '\n';
            }
        }
        std::sort(kept.begin(), kept.end(), [](const TKept& a, const TKept& b) {
            return std::tie(a.Info.Created, a.Info.Id) < std::tie(b.Info.Created, b.Info.Id);
        });
    }
}

std::filesystem::path TSnapshotStore::FileOf(const std::string& registerId, const std::string& id) const
{
    return FFolder / registerId / (id + std::string(Extension));
}

void TSnapshotStore::Add(const std::string& registerId, const std::string& id, const std::string& created,
                         const nlohmann::json& goods)
{
    const std::lock_guard lock(FMutex);
    std::vector<TKept>& kept = FKept[registerId];
    if (FFolder.empty()) {
        kept.push_back({{id, created, goods.size()}, goods});
    } else {
        try {
            std::filesystem::create_directories(FFolder / registerId);
            const nlohmann::json record = {
                {"id", id}, {"register", registerId}, {"created", created}, {"goods", goods}};
            ReplaceFileContent(FileOf(registerId, id).string(),
                               record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
            kept.push_back({{id, created, goods.size()}, nullptr});
        } catch (const std::exception& e) {
            std::osyncstream(FLog) << "zarvik12m-server: cannot keep the snapshot " << id << ": " << e.what() << '\n';
            return;
        }
    }
    while (kept.size() > Kept) {
        if (!FFolder.empty()) {
            std::error_code ignored;
            std::filesystem::remove(FileOf(registerId, kept.front().Info.Id), ignored);
        }
        kept.erase(kept.begin());
    }
}

std::vector<TSnapshotInfo> TSnapshotStore::List(const std::string& registerId) const
{
    const std::lock_guard lock(FMutex);
    std::vector<TSnapshotInfo> out;
    const auto found = FKept.find(registerId);
    if (found != FKept.end()) {
        for (const TKept& kept : found->second) {
            out.push_back(kept.Info);
        }
        std::reverse(out.begin(), out.end());
    }
    return out;
}

std::optional<nlohmann::json> TSnapshotStore::Find(const std::string& registerId, const std::string& id) const
{
    const std::lock_guard lock(FMutex);
    const auto found = FKept.find(registerId);
    if (found == FKept.end()) {
        return std::nullopt;
    }
    const auto kept =
        std::find_if(found->second.begin(), found->second.end(), [&](const TKept& each) { return each.Info.Id == id; });
    if (kept == found->second.end()) {
        return std::nullopt;
    }
    nlohmann::json goods = kept->Goods;
    if (!FFolder.empty()) {
        try {
            goods = ReadJsonFile(FileOf(registerId, id)).at("goods");
        } catch (const std::exception& e) {
            std::osyncstream(FLog) << "zarvik12m-server: cannot read the snapshot " << id << ": " << e.what() << '\n';
            return std::nullopt;
        }
    }
    return nlohmann::json{{"id", id}, {"created", kept->Info.Created}, {"goods", std::move(goods)}};
}

}  // namespace zarvik12m::server
