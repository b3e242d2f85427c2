// Two-character base-36 ids and the renumbering of the file's channels.
#include <cmath>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

char32_t NextChar(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = c & (0x3F >> extra);
    for (; extra > 0 && i < s.size() && IsContinuation(s[i]); --extra)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp < 0x80 ? 0xFFFD : cp;
}

Long DigitValue(char32_t c) {
    Long code;
    if (c >= 0xFF61 && c <= 0xFF9F) {
        code = static_cast<Long>(c - 0xFF61 + 0xA1);  // half-width katakana: one CP932 byte
    } else if (c >= 0x80) {
        return kNonAsciiDigit;
    } else {
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        code = static_cast<Long>(c);
        if (code >= 'A' && code <= 'Z') return code - 55;
    }
    return (code - 48) % 36;  // C++'s % keeps the dividend's sign, as the runtime's Mod does
}

Long DecodeId(std::string_view text) {
    // Nearly every call is a two-character id from an object line: no overflow is possible there.
    if (text.size() == 2 && IsAscii(text))
        return 36 * DigitValue(static_cast<unsigned char>(text[0])) +
               DigitValue(static_cast<unsigned char>(text[1]));
    size_t length = CharCount(text);
    Long value = 0;
    size_t i = 0;
    for (size_t k = 1; k <= length; ++k) {
        double weight = std::pow(36.0, static_cast<double>(length - k));
        double digit = static_cast<double>(DigitValue(NextChar(text, i)));
        // inf x 0 is NaN, which CLng rejects like the power's own overflow.
        value = vb::CLng(static_cast<double>(value) + weight * digit);
    }
    return value;
}

Integer MapChannel(Integer channel) {
    if (channel <= 10) return channel;
    switch (channel % 10) {
        case 6:
            return vb::CInt(channel + 2.0);
        case 7:
            return 0;
        case 8:
        case 9:
            return static_cast<Integer>(channel - 2);
        default:
            return channel;
    }
}

}  // namespace modBMSLoad
