#include "shell/profile.h"

#include <vector>

namespace profile {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// One line of the file, without its '\n' (a '\r' before it stays in `raw`).
struct Line {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view raw;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

Line Classify(std::string_view raw) {
    Line l;
    l.raw = raw;
    std::string_view t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
        size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            l.kind = Line::Kind::Section;
            l.name = Trim(t.substr(1, close - 1));
            return l;
        }
    }
    size_t eq = t.find('=');
    if (eq != std::string_view::npos) {
        l.kind = Line::Kind::Key;
        l.name = Trim(t.substr(0, eq));
        l.value = Trim(t.substr(eq + 1));
    }
    return l;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
}

// Index of the first header of `section`, or -1.
long FindSection(const std::vector<std::string_view>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        Line l = Classify(lines[i]);
        if (l.kind == Line::Kind::Section && SameName(l.name, section)) return static_cast<long>(i);
    }
    return -1;
}

}  // namespace

std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key) {
    std::vector<std::string_view> lines = SplitLines(text);
    long header = FindSection(lines, section);
    if (header < 0) return std::nullopt;
    for (size_t i = static_cast<size_t>(header) + 1; i < lines.size(); ++i) {
        Line l = Classify(lines[i]);
        if (l.kind == Line::Kind::Section) break;
        if (l.kind != Line::Kind::Key || !SameName(l.name, key)) continue;
        std::string_view v = l.value;
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return std::string(v);
    }
    return std::nullopt;
}

std::string Store(std::string_view text, std::string_view section, std::string_view key,
                  std::string_view value) {
    size_t firstNl = text.find('\n');
    bool crlf = firstNl != std::string_view::npos && firstNl > 0 && text[firstNl - 1] == '\r';
    std::string eol = crlf ? "\r\n" : "\n";
    std::string entry = std::string(key) + "=" + std::string(value);

    std::string base(text);
    if (!base.empty() && base.back() != '\n') base += eol;
    std::vector<std::string_view> lines = SplitLines(base);  // the last element is always empty

    long header = FindSection(lines, section);
    if (header < 0) return base + "[" + std::string(section) + "]" + eol + entry + eol;

    size_t anchor = static_cast<size_t>(header);
    size_t i = anchor + 1;
    for (; i < lines.size(); ++i) {
        Line l = Classify(lines[i]);
        if (l.kind == Line::Kind::Section) break;
        if (l.kind == Line::Kind::Key && SameName(l.name, key)) {
            // Replace this line only; the rest of the file is copied byte for byte.
            bool cr = !l.raw.empty() && l.raw.back() == '\r';
            size_t start = static_cast<size_t>(l.raw.data() - base.data());
            return base.substr(0, start) + std::string(l.name) + "=" + std::string(value) +
                   (cr ? "\r" : "") + base.substr(start + l.raw.size());
        }
        if (!Trim(lines[i]).empty()) anchor = i;
    }
    size_t insertAt = static_cast<size_t>(lines[anchor].data() - base.data()) +
                      lines[anchor].size() + 1;  // just after the anchor's '\n'
    return base.substr(0, insertAt) + entry + eol + base.substr(insertAt);
}

}  // namespace profile
