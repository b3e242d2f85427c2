// The listing of each folder a chart's file names reach, made once per load. A chart names up to
// 2,592 files, mostly in one folder; looking each name up on disk (and listing the folder again
// for every name that differs in case or extension) cost more than decoding what was found.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace plat::index {

// One folder as it was when first asked about. Names are in byte order.
struct Folder {
    struct Entry {
        std::string name;
        bool regular = false;  // a regular file, or a link to one
    };
    bool listed = false;  // false: the folder could not be opened
    std::vector<Entry> entries;
    // Entry numbers by exact name, by lower-case name and by lower-case base name (the name up
    // to any of its dots, or all of it); each list in byte order.
    std::unordered_map<std::string, size_t> exact;
    std::unordered_map<std::string, std::vector<size_t>> lower;
    std::unordered_map<std::string, std::vector<size_t>> stems;

    const Entry* Find(const std::string& name) const;
    // The entries named `lowerKey` in lower case (NoCase), or whose base name is (SameStem).
    const std::vector<size_t>& NoCase(const std::string& lowerKey) const;
    const std::vector<size_t>& SameStem(const std::string& lowerKey) const;
};

// The folder's listing from the open index; null when no index is open. `dir` is a folder path
// as the lookups use it ("" is the current folder; a trailing "/" does not matter).
std::shared_ptr<const Folder> Listing(const std::string& dir);

// Where a path's last part lives: the folder part and the name; false when the name is "", "."
// or ".." (those are left to the system).
bool SplitLast(const std::string& path, std::string& dir, std::string& name);

std::string Lower(const std::string& s);

}  // namespace plat::index
