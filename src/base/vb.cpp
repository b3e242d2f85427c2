#include "base/vb.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace vb {

Long CLng(double x) {
    double r = RoundHalfEven(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) Overflow();
    return static_cast<Long>(r);
}

Integer CInt(double x) {
    double r = RoundHalfEven(x);
    if (!(r >= -32768.0 && r <= 32767.0)) Overflow();
    return static_cast<Integer>(r);
}

Single CSng(double x) {
    // Values between FLT_MAX and the midpoint to 2^128 still round to FLT_MAX.
    constexpr double kLimit = 3.4028235677973366e38;
    if (std::isnan(x)) return std::numeric_limits<Single>::quiet_NaN();
    if (!(std::fabs(x) < kLimit)) Overflow();
    if (std::fabs(x) > std::numeric_limits<Single>::max())
        return x < 0 ? -std::numeric_limits<Single>::max() : std::numeric_limits<Single>::max();
    return static_cast<Single>(x);
}

Long AddL(Long a, Long b) {
    Long r;
    if (__builtin_add_overflow(a, b, &r)) Overflow();
    return r;
}
Long SubL(Long a, Long b) {
    Long r;
    if (__builtin_sub_overflow(a, b, &r)) Overflow();
    return r;
}
Long MulL(Long a, Long b) {
    Long r;
    if (__builtin_mul_overflow(a, b, &r)) Overflow();
    return r;
}

Currency Currency::FromDouble(double v) {
    double scaled = RoundHalfEven(v * static_cast<double>(kScale));
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) Overflow();
    return FromRaw(static_cast<int64_t>(scaled));
}

Currency operator+(Currency a, Currency b) {
    int64_t r;
    if (__builtin_add_overflow(a.raw, b.raw, &r)) Overflow();
    return Currency::FromRaw(r);
}

Currency operator-(Currency a, Currency b) {
    int64_t r;
    if (__builtin_sub_overflow(a.raw, b.raw, &r)) Overflow();
    return Currency::FromRaw(r);
}

Currency Currency::operator-() const {
    if (raw == INT64_MIN) Overflow();
    return FromRaw(-raw);
}

std::string FormatCurrency4(Currency c) {
    uint64_t mag = c.raw < 0 ? 0 - static_cast<uint64_t>(c.raw) : static_cast<uint64_t>(c.raw);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", c.raw < 0 ? "-" : "",
                  static_cast<unsigned long long>(mag / 10000),
                  static_cast<unsigned long long>(mag % 10000));
    return buf;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads &H / &O digits; VB gives up to 4 hex digits (6 octal) the Integer meaning, longer ones
// the Long meaning, so &HFFFF is -1.
double ValRadix(std::string_view s, size_t i, int radix) {
    uint64_t v = 0;
    int digits = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (IsBlank(c)) continue;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix) break;
        v = v * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) Overflow();
        ++digits;
    }
    if (v <= 0xFFFF && (radix == 16 ? digits <= 4 : v <= 0xFFFF))
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v)));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
}

}  // namespace

double Val(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i + 1 < s.size() && s[i] == '&') {
        char k = s[i + 1];
        if (k == 'h' || k == 'H') return ValRadix(s, i + 2, 16);
        if (k == 'o' || k == 'O') return ValRadix(s, i + 2, 8);
        return 0;
    }
    // Collect the number's characters, dropping embedded blanks, then convert once.
    std::string num;
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (IsBlank(c)) continue;
        if ((c == '+' || c == '-') && num.empty()) {
            num += c;
        } else if (c >= '0' && c <= '9') {
            num += c;
            digits = true;
        } else if (c == '.' && !point) {
            num += c;
            point = true;
        } else {
            break;
        }
    }
    if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::string exp = "e";
        size_t j = i + 1;
        while (j < s.size() && IsBlank(s[j])) ++j;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        bool expDigits = false;
        for (; j < s.size(); ++j) {
            if (IsBlank(s[j])) continue;
            if (s[j] < '0' || s[j] > '9') break;
            exp += s[j];
            expDigits = true;
        }
        if (expDigits) num += exp;
    }
    if (!digits) return 0;
    double v = std::strtod(num.c_str(), nullptr);
    if (std::isinf(v)) Overflow();
    return v;
}

bool IsNumeric(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    s = s.substr(b, e - b);
    if (s.empty()) return false;
    size_t i = 0;
    if (s.size() >= 2 && s[0] == '&') {
        char k = s[1];
        int radix = (k == 'h' || k == 'H') ? 16 : (k == 'o' || k == 'O') ? 8 : 0;
        if (!radix || s.size() == 2) return false;
        for (i = 2; i < s.size(); ++i) {
            char c = s[i];
            bool ok = (c >= '0' && c <= '7') || (c >= '8' && c <= '9' && radix == 16) ||
                      (radix == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
            if (!ok) return false;
        }
        return true;
    }
    if (s[i] == '+' || s[i] == '-') ++i;
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, digits = true;
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        bool exp = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, exp = true;
        if (!exp) return false;
    }
    return i == s.size();
}

namespace {

// %.*G with the given significant digits, then VB's shape: no trailing zeros, exponent as E+nn.
std::string Significant(double v, int digits) {
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, v);
    // buf = [-]d.dddddE[+-]xx
    std::string s(buf);
    size_t epos = s.find('E');
    int exp = std::atoi(s.c_str() + epos + 1);
    std::string mant = s.substr(0, epos);
    bool neg = mant[0] == '-';
    if (neg) mant.erase(0, 1);
    std::string digitsOnly;
    for (char c : mant)
        if (c != '.') digitsOnly += c;
    while (digitsOnly.size() > 1 && digitsOnly.back() == '0') digitsOnly.pop_back();
    std::string out;
    if (exp >= digits || exp < -digits) {
        // Scientific form, as VB prints very large or very small values: 1.5E+20
        out = digitsOnly.substr(0, 1);
        if (digitsOnly.size() > 1) out += "." + digitsOnly.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exp < 0 ? '-' : '+', exp < 0 ? -exp : exp);
        out += e;
    } else if (exp >= 0) {
        size_t intLen = static_cast<size_t>(exp) + 1;
        if (digitsOnly.size() <= intLen) {
            out = digitsOnly + std::string(intLen - digitsOnly.size(), '0');
        } else {
            out = digitsOnly.substr(0, intLen) + "." + digitsOnly.substr(intLen);
        }
    } else {
        out = "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digitsOnly;
    }
    return neg ? "-" + out : out;
}

}  // namespace

std::string Str(float v) {
    return Significant(static_cast<double>(v), 7);
}
std::string Str(double v) {
    return Significant(v, 15);
}
std::string Str(int64_t v) {
    return std::to_string(v);
}

std::string RoundTrip(float v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string BoolText(bool b) {
    return b ? "True" : "False";
}

bool ParseBool(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    std::string t = UCase(text.substr(b, e - b));
    if (t == "TRUE" || t == "#TRUE#") return true;
    if (t == "FALSE" || t == "#FALSE#") return false;
    return ParseNumber(text) != 0;
}

double ParseNumber(std::string_view text) {
    if (!IsNumeric(text)) TypeMismatch();
    return Val(text);
}

std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return "";
    size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

std::string UCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

}  // namespace vb
