// Chart text arrives as bytes in whatever the author's editor wrote: UTF-8 on newer systems,
// Shift_JIS (Windows code page 932) on the Japanese systems the format grew up on, and the Korean
// code page 949 (EUC-KR and its extension) on Korean ones. One encoding is chosen per file.
#include <iconv.h>
#include <uchardet/uchardet.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace plat {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
const char kJapanese[] = "CP932";
const char kKorean[] = "CP949";

// Length of the well-formed UTF-8 sequence starting at s[i], 0 when it is not one. Overlong
// forms, surrogates and code points above U+10FFFF are rejected.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (size_t k = 2; k < len; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return len;
}

// The bytes in `from` turned into UTF-8; a byte that does not fit (or a lead byte cut off at the
// end) becomes one replacement character and the conversion carries on with the next byte.
std::string ConvertLossy(const std::string& bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter at all: keep ASCII, mark the rest, so the result is still valid UTF-8.
        std::string out;
        for (char c : bytes)
            if (static_cast<unsigned char>(c) < 0x80)
                out += c;
            else
                out += kReplacement;
        return out;
    }
    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buf[4096];
    while (inLeft > 0) {
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

// The text in `from`, or nothing when a byte sequence is not one of its characters.
std::optional<std::string> ConvertStrict(const std::string& bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buf[4096];
    bool valid = true;
    while (inLeft > 0 && valid) {
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        valid = r != static_cast<size_t>(-1) || errno == E2BIG;
    }
    iconv_close(cd);
    if (!valid) return std::nullopt;
    return out;
}

// Code points U+E000 to U+F8FF: where code page 932's user-defined area lands. No Japanese chart
// needs them, while Korean text read as code page 932 lands there often.
bool HasPrivateUse(const std::string& utf8) {
    for (size_t i = 0; i + 2 < utf8.size(); ++i) {
        unsigned char b0 = static_cast<unsigned char>(utf8[i]);
        unsigned char b1 = static_cast<unsigned char>(utf8[i + 1]);
        if ((b0 == 0xEE && b1 >= 0x80) || (b0 == 0xEF && b1 <= 0xA3)) return true;
    }
    return false;
}

bool IsValidJapanese(const std::string& bytes) {
    std::optional<std::string> text = ConvertStrict(bytes, "CP932");
    return text && !HasPrivateUse(*text);
}

bool InRange(unsigned char c, unsigned lo, unsigned hi) {
    return c >= lo && c <= hi;
}

// Modern Korean text in EUC-KR is made of Hangul syllables (lead B0-C8) and hanja (lead CA-FD),
// trail A1-FE. Read as code page 932, those bytes are half-width katakana, and a trail of E0 or
// more starts a rare kanji taking the next syllable's lead as its trail. Japanese text never has
// those rare kanji without any kana, common kanji or full-width symbol (all with leads 81-9F,
// which EUC-KR lacks). Text made of half-width katakana alone stays Japanese: old Japanese charts
// are written that way, and the same bytes are then Korean only by chance.
bool LooksLikeHangul(const std::string& bytes) {
    bool hangul = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) continue;
        if (i + 1 == bytes.size()) return false;
        unsigned char trail = static_cast<unsigned char>(bytes[++i]);
        if (!InRange(trail, 0xA1, 0xFE)) return false;
        if (InRange(lead, 0xB0, 0xC8))
            hangul = true;
        else if (!InRange(lead, 0xCA, 0xFD))
            return false;
    }
    if (!hangul) return false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 || InRange(c, 0xA1, 0xDF)) continue;
        if (InRange(c, 0xE0, 0xFC)) return true;
        ++i;
    }
    return false;
}

enum class Verdict { Japanese, Korean, Unsure };

// The statistical detector weighs every byte of the file; it names a charset only once it has
// seen enough text, and then it tells Korean from Japanese far better than validity can.
Verdict Detect(const std::string& bytes) {
    uchardet_t detector = uchardet_new();
    if (!detector) return Verdict::Unsure;
    Verdict verdict = Verdict::Unsure;
    if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
        uchardet_data_end(detector);
        const char* name = uchardet_get_charset(detector);
        if (std::strcmp(name, "SHIFT_JIS") == 0)
            verdict = Verdict::Japanese;
        else if (std::strcmp(name, "EUC-KR") == 0 || std::strcmp(name, "UHC") == 0)
            verdict = Verdict::Korean;
    }
    uchardet_delete(detector);
    return verdict;
}

// The converter name for text that is not UTF-8. Where the detector is unsure (a chart may hold
// only a few non-ASCII bytes), validity decides: code page 932 first, so every Japanese chart
// reads as it always did, unless the bytes look like Korean; then code page 949; else 932 with
// its invalid bytes replaced.
const char* GuessLegacyEncoding(const std::string& bytes) {
    switch (Detect(bytes)) {
        case Verdict::Japanese:
            return kJapanese;
        case Verdict::Korean:
            return kKorean;
        case Verdict::Unsure:
            break;
    }
    if (IsValidJapanese(bytes) && !LooksLikeHangul(bytes)) return kJapanese;
    if (ConvertStrict(bytes, kKorean)) return kKorean;
    return kJapanese;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string ShowableText(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes, i, len);
            i += len;
        }
    }
    return out;
}

std::string ChartTextToUtf8(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return bytes;
    return ConvertLossy(bytes, GuessLegacyEncoding(bytes));
}

}  // namespace plat
