// The shared arithmetic and number texts against a case table (tests/data/vb/cases.txt): a
// function, its input as text and the result as text, or "error N" for run-time error N.
#include <cstdio>
#include <cstdlib>

#include "base/vb.h"
#include "support.h"

namespace {

using vb::Currency;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Eval(const std::string& fn, const std::string& in) {
    double d = std::strtod(in.c_str(), nullptr);
    long long a = 0, b = 0;
    std::sscanf(in.c_str(), "%lld %lld", &a, &b);
    vb::Long x = static_cast<vb::Long>(a), y = static_cast<vb::Long>(b);
    Currency ca = Currency::FromRaw(a), cb = Currency::FromRaw(b);
    try {
        if (fn == "Val") return Number(vb::Val(in));
        if (fn == "IsNumeric") return vb::BoolText(vb::IsNumeric(in));
        if (fn == "CLng") return std::to_string(vb::CLng(d));
        if (fn == "CInt") return std::to_string(vb::CInt(d));
        if (fn == "CSng") return vb::RoundTrip(vb::CSng(d));
        if (fn == "Int") return Number(vb::Int(d));
        if (fn == "AddL") return std::to_string(vb::AddL(x, y));
        if (fn == "SubL") return std::to_string(vb::SubL(x, y));
        if (fn == "MulL") return std::to_string(vb::MulL(x, y));
        if (fn == "Currency") return vb::FormatCurrency4(Currency::FromDouble(d));
        if (fn == "CurrencyRaw") return vb::FormatCurrency4(ca);
        if (fn == "CurrencyAdd") return vb::FormatCurrency4(ca + cb);
        if (fn == "CurrencySub") return vb::FormatCurrency4(ca - cb);
        if (fn == "Str(Single)") return vb::Str(static_cast<float>(d));
        if (fn == "Str(Double)") return vb::Str(d);
        if (fn == "RoundTrip") return vb::RoundTrip(static_cast<float>(d));
        if (fn == "ParseBool") return vb::BoolText(vb::ParseBool(in));
        if (fn == "ParseNumber") return Number(vb::ParseNumber(in));
        if (fn == "Trim") return "[" + vb::Trim(in) + "]";
    } catch (const vb::Error& e) {
        return "error " + std::to_string(e.number);
    }
    return "no function " + fn;
}

TEST(VbArithmetic, CaseTable) {
    for (const auto& c : testsupport::ReadCases(testsupport::DataPath("vb/cases.txt"))) {
        std::string fn = c.at("fn"), in = c.at("in"), out = Eval(fn, in);
        EXPECT_EQ(out, c.at("out")) << "line " << c.line << ": " << fn << "(" << in << ")";
        // The shortest text still reads back as the same number.
        if (fn == "RoundTrip") {
            float f = static_cast<float>(std::strtod(in.c_str(), nullptr));
            EXPECT_EQ(static_cast<float>(vb::Val(out)), f) << "line " << c.line;
        }
    }
}

}  // namespace
