#include "support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/render.h"

namespace testsupport {

namespace fs = std::filesystem;

// The fonts the title line opened are closed before the process ends, as the player does.
class CloseFontsAtEnd : public ::testing::Environment {
    void TearDown() override { plat::CloseFonts(); }
};
[[maybe_unused]] const auto* const kCloseFonts =
    ::testing::AddGlobalTestEnvironment(new CloseFontsAtEnd);

plat::HeadlessDevice& ResetAll() {
    // The sounds of the test before are released on the device they were made on.
    modSound::Reset();
    modMain::Reset();
    modDraw::Reset();
    modBMSLoad::Reset();
    modCount::Reset();
    modKey::Reset();
    plat::HeadlessDevice& dev = plat::InstallHeadless();
    plat::SetExitThrows(true);
    plat::SetCommandLine(0, nullptr);
    modMain::AppTitle = "Korvane 1.0.0";
    modMain::UseSettingsFile = false;
    modMain::UseInstanceHandOver = false;
    return dev;
}

bool PlayUntil(int64_t ms, int frames) {
    const vb::Currency until = vb::Currency::FromInt(ms);
    for (int n = 0;
         n < frames && (modMain::PlayState == modMain::PS_LOAD || modCount::PlayTime < until); ++n)
        render::RunFrame();
    return modCount::PlayTime >= until;
}

TempDir::TempDir() {
    std::string pattern = "/tmp/korvane-test-XXXXXX";
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ec;
    if (path_ != "/tmp") fs::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The lines of both texts in order, each marked "  " (in both), "- " (expected only) or "+ "
// (actual only) and numbered in its own text, from a longest common subsequence after the common
// start; texts too long for that show everything from their first differing line.
std::vector<std::string> LineDiff(const std::vector<std::string>& a,
                                  const std::vector<std::string>& b) {
    size_t start = 0;
    while (start < a.size() && start < b.size() && a[start] == b[start]) ++start;
    size_t n = a.size() - start, m = b.size() - start;
    std::vector<std::string> out;
    auto add = [&](const char* mark, size_t number, const std::string& text) {
        out.push_back(mark + std::to_string(number + 1) + ": " + text);
    };
    if (start > 0) add("  ", start - 1, a[start - 1]);
    if (n * m > 4000000) {
        for (size_t i = start; i < a.size(); ++i) add("- ", i, a[i]);
        for (size_t j = start; j < b.size(); ++j) add("+ ", j, b[j]);
        return out;
    }
    std::vector<std::vector<uint32_t>> lcs(n + 1, std::vector<uint32_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] = a[start + i] == b[start + j] ? lcs[i + 1][j + 1] + 1
                                                     : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[start + i] == b[start + j]) {
            add("  ", start + i, a[start + i]);
            ++i, ++j;
        } else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1])) {
            add("- ", start + i, a[start + i]);
            ++i;
        } else {
            add("+ ", start + j, b[start + j]);
            ++j;
        }
    }
    return out;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        if (c == 'n') {
            out += '\n';
        } else if (c == 'r') {
            out += '\r';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
            out += static_cast<char>(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

}  // namespace

::testing::AssertionResult SameText(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::vector<std::string> diff = LineDiff(Lines(expected), Lines(actual));
    auto failure = ::testing::AssertionFailure() << "texts differ (- expected, + actual):\n";
    size_t shown = 0;
    for (size_t k = 0; k < diff.size() && shown < 60; ++k) {
        bool changed = diff[k][0] != ' ';
        bool nearChange =
            (k > 0 && diff[k - 1][0] != ' ') || (k + 1 < diff.size() && diff[k + 1][0] != ' ');
        if (!changed && !nearChange) continue;
        failure << diff[k] << "\n";
        ++shown;
    }
    if (shown == 0) failure << "(only the line ends differ)\n";
    return failure;
}

bool UpdatingExpected() {
    const char* v = std::getenv("KORVANE_UPDATE_EXPECTED");
    return v && std::string(v) == "1";
}

::testing::AssertionResult SameTextAsFile(const std::string& expectedPath,
                                          const std::string& actual) {
    if (UpdatingExpected()) {
        WriteFile(expectedPath, actual);
        return ::testing::AssertionSuccess();
    }
    return SameText(ReadFile(expectedPath), actual) << "(expected: " << expectedPath << ")";
}

std::string Case::at(const std::string& key) const {
    auto it = fields.find(key);
    if (it != fields.end()) return it->second;
    ADD_FAILURE() << "the case at line " << line << " has no field \"" << key << "\"";
    return "";
}

std::vector<Case> ReadCases(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "no case table " << path;
    std::vector<Case> cases;
    bool open = false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::string t = Trimmed(line);
        if (t.empty()) {
            open = false;
            continue;
        }
        if (t[0] == '#') continue;
        if (!open) {
            cases.push_back(Case{number, {}});
            open = true;
        }
        size_t colon = t.find(": ");
        std::string key = Trimmed(t.substr(0, colon == std::string::npos ? t.size() - 1 : colon));
        std::string value = colon == std::string::npos ? "" : Trimmed(t.substr(colon + 2));
        cases.back().fields[key] = Unescape(value);
    }
    return cases;
}

::testing::AssertionResult SamePicture(const std::string& goldenPng, const plat::Image& actual) {
    if (UpdatingExpected())
        return plat::WritePng(goldenPng, actual)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "cannot write " << goldenPng;
    std::optional<plat::Image> golden = plat::DecodeImage(goldenPng, false);
    std::string why;
    if (!golden) {
        why = "cannot read " + goldenPng;
    } else if (golden->width != actual.width || golden->height != actual.height) {
        why = "size " + std::to_string(actual.width) + " x " + std::to_string(actual.height) +
              ", expected " + std::to_string(golden->width) + " x " +
              std::to_string(golden->height);
    } else {
        for (size_t i = 0; i < actual.pixels.size() && why.empty(); ++i) {
            uint32_t want = golden->pixels[i] & 0xFFFFFF, got = actual.pixels[i] & 0xFFFFFF;
            if (want == got) continue;
            char text[96];
            std::snprintf(text, sizeof text, "first difference at (%zu, %zu): %06X, expected %06X",
                          i % static_cast<size_t>(actual.width),
                          i / static_cast<size_t>(actual.width), got, want);
            why = text;
        }
        if (why.empty()) return ::testing::AssertionSuccess();
    }
    fs::path out = fs::path(KORVANE_BINARY_DIR) / "test-output" / fs::path(goldenPng).filename();
    std::error_code ec;
    fs::create_directories(out.parent_path(), ec);
    bool written = plat::WritePng(out.string(), actual);
    return ::testing::AssertionFailure()
           << goldenPng << ": " << why << (written ? "; the frame is in " + out.string() : "");
}

std::string DataPath(const std::string& relative) {
    return std::string(KORVANE_SOURCE_DIR) + "/tests/data/" + relative;
}

std::string SharedCharts() {
    fs::path p = fs::path(KORVANE_SOURCE_DIR) / ".." / "shared" / "testdata";
    std::error_code ec;
    return fs::is_directory(p, ec) ? fs::canonical(p).string() : std::string();
}

std::string FindSharedChart(const std::string& name) {
    std::string root = SharedCharts();
    if (root.empty()) return "";
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.path().filename() == name) return e.path().string();
    return "";
}

}  // namespace testsupport
