// The arithmetic and data conventions every module shares: the VB types, fixed-point Currency,
// banker's rounding, the conversions between numbers and text (errors and arrays included).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/array.h"
#include "base/error.h"

namespace vb {

using Integer = int16_t;
using Long = int32_t;
using Single = float;
using Boolean = bool;  // stored as bool; VB's -1 is produced where a record field needs it

// Nearest whole number, halves to even (the FPU's default rounding mode).
inline double RoundHalfEven(double x) {
    return std::nearbyint(x);
}

// Conversions to whole numbers: round half to even, overflow is error 6.
Long CLng(double x);
Integer CInt(double x);
// Conversion to Single: rounds to the nearest float; beyond the float range is error 6.
Single CSng(double x);
// Int(): rounds down (a double result, as VB's Int keeps the type).
inline double Int(double x) {
    return std::floor(x);
}

// Long arithmetic with VB's overflow check.
Long AddL(Long a, Long b);
Long SubL(Long a, Long b);
Long MulL(Long a, Long b);

// Difference of two millisecond clock readings; the clock wraps, so the difference does too.
inline Long ClockDiff(Long later, Long earlier) {
    return static_cast<Long>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}
inline Long ClockAdd(Long t, Long d) {
    return static_cast<Long>(static_cast<uint32_t>(t) + static_cast<uint32_t>(d));
}

// Fixed-point decimal with four fractional digits in a signed 64-bit integer.
struct Currency {
    int64_t raw = 0;  // value x 10000

    static constexpr int64_t kScale = 10000;
    static constexpr int64_t kMaxRaw = INT64_MAX;

    constexpr Currency() = default;
    static constexpr Currency FromRaw(int64_t r) {
        Currency c;
        c.raw = r;
        return c;
    }
    static constexpr Currency FromInt(int64_t v) { return FromRaw(v * kScale); }
    // Rounds to four decimals, halves to even; out of range is error 6.
    static Currency FromDouble(double v);
    static constexpr Currency Max() { return FromRaw(kMaxRaw); }  // 922337203685477.5807

    double ToDouble() const { return static_cast<double>(raw) / kScale; }

    friend Currency operator+(Currency a, Currency b);
    friend Currency operator-(Currency a, Currency b);
    Currency operator-() const;
    Currency& operator+=(Currency b) { return *this = *this + b; }
    Currency& operator-=(Currency b) { return *this = *this - b; }
    friend constexpr auto operator<=>(Currency a, Currency b) = default;
};

// Text of a Currency with exactly four decimals ("2769.2309", "-0.5000").
std::string FormatCurrency4(Currency c);

// The number of a text: the longest leading number, VB's Val (blanks and tabs skipped anywhere,
// sign, digits, decimal point, exponent E or D, &H hexadecimal and &O octal); 0 when none.
double Val(std::string_view text);
// The general numeric test (IsNumeric of a text): the whole text, trimmed, is one number.
bool IsNumeric(std::string_view text);

// Default conversion of numbers to text: 7 significant digits for Single, 15 for Double,
// no trailing zeros or decimal point, no thousands separators ("0.5", "-3", "1E+20").
std::string Str(float v);
std::string Str(double v);
std::string Str(int64_t v);
inline std::string Str(int32_t v) {
    return Str(static_cast<int64_t>(v));
}
inline std::string Str(int16_t v) {
    return Str(static_cast<int64_t>(v));
}

// Shortest text that reads back (by Val) to exactly the same float.
std::string RoundTrip(float v);

// Boolean as text ("True"/"False") and back; numbers are accepted on reading (non-zero is True);
// anything else is error 13.
std::string BoolText(bool b);
bool ParseBool(std::string_view text);
// Text to a number for a typed field: the whole text must be a number, else error 13.
double ParseNumber(std::string_view text);

// Leading and trailing spaces removed (spaces only, as VB's Trim).
std::string Trim(std::string_view s);

// Upper-casing of ASCII letters only (chart commands and file extensions).
std::string UCase(std::string_view s);

}  // namespace vb
