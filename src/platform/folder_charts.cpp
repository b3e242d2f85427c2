// The charts of one folder in the order a person reads their names: a song's charts differ only
// in a number ("_7n", "_14n") or in the case of a letter, and neither may reorder them.
#include <dirent.h>

#include <algorithm>

#include "platform/folder_index.h"
#include "platform/platform.h"

namespace plat {

namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// Compares the digit runs starting at a[i] and b[j] by value (leading zeros skipped, so any
// length is fine) and moves both past them.
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
    auto run = [](const std::string& s, size_t& at) {
        while (at < s.size() && s[at] == '0') ++at;
        size_t from = at;
        while (at < s.size() && IsDigit(static_cast<unsigned char>(s[at]))) ++at;
        return std::string_view(s).substr(from, at - from);
    };
    std::string_view x = run(a, i), y = run(b, j);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return Sign(x.compare(y));
}

bool IsChartName(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = index::Lower(name.substr(dot));
    return ext == ".bms" || ext == ".bme" || ext == ".bml" || ext == ".pms";
}

}  // namespace

int CompareNatural(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (IsDigit(ca) && IsDigit(cb)) {
            if (int c = CompareNumbers(a, i, b, j)) return c;
            continue;
        }
        if (Fold(ca) != Fold(cb)) return Fold(ca) < Fold(cb) ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    // Names alike but for case or leading zeros still need an order of their own.
    return Sign(a.compare(b));
}

std::vector<std::string> ListCharts(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (IsChartName(name) && (e->d_type == DT_REG || IsRegularFile(prefix + name)))
            names.push_back(std::move(name));
    }
    closedir(d);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareNatural(a, b) < 0; });
    return names;
}

}  // namespace plat
