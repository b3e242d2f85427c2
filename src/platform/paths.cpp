// Chart file names written on Windows: "\" separators and names whose case differs from the
// files on disk. The exact name always wins; the case-blind match is only the fallback. While a
// lookup index is open the answers come from its listings, with the same results.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/folder_index.h"
#include "platform/platform.h"

namespace plat {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool Exists(const std::string& path) {
    std::string dir, name;
    if (index::SplitLast(path, dir, name))
        if (std::shared_ptr<const index::Folder> folder = index::Listing(dir))
            return folder->Find(name) != nullptr;
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    if (std::shared_ptr<const index::Folder> folder = index::Listing(path)) return folder->listed;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Entry names of a folder sorted by name, so a case-blind lookup with several candidates always
// picks the same one. "" is the current folder.
std::vector<std::string> SortedEntries(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// The entry of a folder whose name equals `name` ignoring case; with several, the smallest by
// byte order, so the choice does not depend on the directory's order.
std::optional<std::string> FindNoCase(const std::string& dir, const std::string& name) {
    if (std::shared_ptr<const index::Folder> folder = index::Listing(dir)) {
        const std::vector<size_t>& found = folder->NoCase(index::Lower(name));
        if (found.empty()) return std::nullopt;
        return folder->entries[found.front()].name;
    }
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    while (dirent* e = readdir(d)) {
        if (!EqualNoCase(e->d_name, name)) continue;
        if (!best || *best > e->d_name) best = e->d_name;
    }
    closedir(d);
    return best;
}

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return parts;
}

// (case differs, name) of the folder's regular files named `base`, with or without an
// extension, in the listing's order.
std::vector<std::pair<bool, std::string>> Candidates(const std::string& folder,
                                                     const std::string& base) {
    std::vector<std::pair<bool, std::string>> ranked;
    if (std::shared_ptr<const index::Folder> listing = index::Listing(folder)) {
        for (size_t i : listing->SameStem(index::Lower(base))) {
            const index::Folder::Entry& entry = listing->entries[i];
            if (entry.regular)
                ranked.emplace_back(entry.name.compare(0, base.size(), base) != 0, entry.name);
        }
        return ranked;
    }
    for (const std::string& name : SortedEntries(folder)) {
        if (name.size() < base.size()) continue;
        if (name.size() > base.size() && name[base.size()] != '.') continue;
        std::string stem = name.substr(0, base.size());
        if (!EqualNoCase(stem, base) || !IsRegularFile(folder + name)) continue;
        ranked.emplace_back(stem != base, name);
    }
    return ranked;
}

}  // namespace

std::string ResolvePath(const std::string& path) {
    std::string converted = path;
    std::replace(converted.begin(), converted.end(), '\\', '/');
    if (converted.empty() || Exists(converted)) return converted;
    // With the index open, a folder that opens as written needs no walk (each part of it exists
    // as written): only the last part is matched.
    std::string dir, name;
    if (index::SplitLast(converted, dir, name))
        if (std::shared_ptr<const index::Folder> folder = index::Listing(dir);
            folder && folder->listed) {
            const std::vector<size_t>& found = folder->NoCase(index::Lower(name));
            return found.empty() ? converted : dir + folder->entries[found.front()].name;
        }

    std::vector<std::string> parts = SplitComponents(converted);
    std::string resolved;  // the folder resolved so far, with a trailing "/" unless empty
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        bool last = i + 1 == parts.size();
        std::string chosen = part;
        if (!part.empty() && part != "." && part != ".." && !Exists(resolved + part)) {
            std::optional<std::string> match = FindNoCase(resolved, part);
            if (!match) return converted;
            chosen = *match;
        }
        resolved += chosen;
        if (!last) resolved += '/';
    }
    return resolved;
}

std::vector<std::string> ListSameBase(const std::string& dir, const std::string& base) {
    std::vector<std::string> found;
    if (base.empty() || base.find('/') != std::string::npos) return found;
    std::string folder = dir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    if (!folder.empty() && !IsDirectory(folder)) return found;

    std::vector<std::pair<bool, std::string>> ranked = Candidates(folder, base);
    std::stable_sort(ranked.begin(), ranked.end());
    for (auto& entry : ranked) found.push_back(std::move(entry.second));
    return found;
}

}  // namespace plat
