#include "base/helpers.h"

#include <cmath>

namespace modMain {

vb::Array<Single, 0, 255> SineTable;

void FillSineTable() {
    for (int i = 0; i <= 255; ++i)
        SineTable[i] = static_cast<Single>(std::sin(i * 3.1415926535897 / 128));
}

Single Sin256(uint8_t index) {
    return SineTable[index];
}

Single SinDeg(Long degrees) {
    double steps = vb::RoundHalfEven(static_cast<double>(degrees) * 256 / 360);
    return Sin256(static_cast<uint8_t>(static_cast<int64_t>(steps) & 0xFF));
}

Single CosDeg(Long degrees) {
    return SinDeg(degrees + 90);
}

double Log10(Single x) {
    if (!(x > 0)) vb::Raise(5);  // the logarithm of zero or less is an invalid argument
    return std::log(static_cast<double>(x)) / std::log(10.0);
}

Long VolumeToAttenuation(Single percent) {
    if (percent <= 0) return -10000;
    if (percent >= 100) return 0;
    return vb::CLng(20 * Log10(static_cast<Single>(percent * 0.01)) * 100);
}

std::string ZeroPad(Long value, Long width) {
    std::string s = "00000000" + std::to_string(value);
    if (width < 0) vb::Raise(5);  // a negative length is an invalid argument, as for Right$
    if (width == 0) return "";
    if (static_cast<size_t>(width) >= s.size()) return s;
    return s.substr(s.size() - static_cast<size_t>(width));
}

std::string RemoveExt(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t sep = path.find_last_of("\\/");
    if (dot == std::string::npos) return path;
    if (sep != std::string::npos && dot < sep) return path;
    return path.substr(0, dot);
}

}  // namespace modMain
