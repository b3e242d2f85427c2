// Small helpers the modules share: the sine table, volume in hundredths of a decibel, and two
// text helpers.
#pragma once

#include <cstdint>
#include <string>

#include "base/vb.h"

namespace modMain {

using vb::Long;
using vb::Single;

extern vb::Array<Single, 0, 255> SineTable;
void FillSineTable();
Single Sin256(uint8_t index);
Single SinDeg(Long degrees);
Single CosDeg(Long degrees);

Long VolumeToAttenuation(Single percent);
double Log10(Single x);
std::string ZeroPad(Long value, Long width);
std::string RemoveExt(const std::string& path);

}  // namespace modMain
