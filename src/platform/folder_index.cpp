#include "platform/folder_index.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "platform/platform.h"

namespace plat {

namespace index {

namespace {

// The folders listed so far in the open index. Sound decoding threads look names up too.
struct Index {
    std::mutex lock;
    std::unordered_map<std::string, std::shared_ptr<const Folder>> folders;
};

std::mutex openLock;
std::shared_ptr<Index> open;

std::shared_ptr<Index> Current() {
    std::lock_guard<std::mutex> guard(openLock);
    return open;
}

// The folder part as a key: without trailing slashes, except the root itself.
std::string Key(const std::string& dir) {
    size_t end = dir.size();
    while (end > 1 && dir[end - 1] == '/') --end;
    return dir.substr(0, end);
}

// The file type of a listed entry; links and file systems that do not say are asked.
bool IsRegular(const std::string& dir, const dirent& e) {
    if (e.d_type == DT_REG) return true;
    if (e.d_type != DT_LNK && e.d_type != DT_UNKNOWN) return false;
    struct stat st;
    std::string path = dir.empty() ? e.d_name : dir + "/" + e.d_name;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::shared_ptr<const Folder> List(const std::string& dir) {
    auto folder = std::make_shared<Folder>();
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return folder;
    folder->listed = true;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") folder->entries.push_back({name, IsRegular(dir, *e)});
    }
    closedir(d);
    auto& entries = folder->entries;
    std::sort(entries.begin(), entries.end(),
              [](const Folder::Entry& a, const Folder::Entry& b) { return a.name < b.name; });
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        std::string lower = Lower(name);
        folder->exact.emplace(name, i);
        folder->lower[lower].push_back(i);
        for (size_t dot = lower.find('.'); dot != std::string::npos; dot = lower.find('.', dot + 1))
            folder->stems[lower.substr(0, dot)].push_back(i);
        folder->stems[lower].push_back(i);
    }
    return folder;
}

const std::vector<size_t>& Lookup(const std::unordered_map<std::string, std::vector<size_t>>& map,
                                  const std::string& key) {
    static const std::vector<size_t> none;
    auto it = map.find(key);
    return it == map.end() ? none : it->second;
}

}  // namespace

const Folder::Entry* Folder::Find(const std::string& name) const {
    auto it = exact.find(name);
    return it == exact.end() ? nullptr : &entries[it->second];
}

const std::vector<size_t>& Folder::NoCase(const std::string& lowerKey) const {
    return Lookup(lower, lowerKey);
}

const std::vector<size_t>& Folder::SameStem(const std::string& lowerKey) const {
    return Lookup(stems, lowerKey);
}

std::shared_ptr<const Folder> Listing(const std::string& dir) {
    std::shared_ptr<Index> index = Current();
    if (!index) return nullptr;
    std::string key = Key(dir);
    std::lock_guard<std::mutex> guard(index->lock);
    std::shared_ptr<const Folder>& folder = index->folders[key];
    if (!folder) folder = List(key);
    return folder;
}

bool SplitLast(const std::string& path, std::string& dir, std::string& name) {
    size_t slash = path.rfind('/');
    dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty() && name != "." && name != "..";
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace index

void OpenLookupIndex() {
    std::lock_guard<std::mutex> guard(index::openLock);
    index::open = std::make_shared<index::Index>();
}

void CloseLookupIndex() {
    std::lock_guard<std::mutex> guard(index::openLock);
    index::open = nullptr;
}

std::optional<bool> SameBaseListed(const std::string& path) {
    std::string converted = path;
    std::replace(converted.begin(), converted.end(), '\\', '/');
    std::string dir, name;
    if (!index::SplitLast(converted, dir, name)) return std::nullopt;
    std::string base = name.substr(0, name.rfind('.'));
    if (base.empty()) return std::nullopt;
    std::shared_ptr<const index::Folder> folder = index::Listing(dir);
    if (!folder || !folder->listed) return std::nullopt;
    for (size_t i : folder->SameStem(index::Lower(base)))
        if (folder->entries[i].regular) return true;
    return false;
}

bool IsRegularFileListed(const std::string& path) {
    std::string dir, name;
    if (index::SplitLast(path, dir, name))
        if (std::shared_ptr<const index::Folder> folder = index::Listing(dir)) {
            const index::Folder::Entry* entry = folder->Find(name);
            return entry && entry->regular;
        }
    return IsRegularFile(path);
}

}  // namespace plat
