// The text form of a loaded chart model that `korvane-render CHART --dump` prints.
#pragma once

#include <string>

namespace render {

// Tab-separated lines: the header fields, the measures 0 to MaxMeasure + 1, every record of Obj.
std::string DumpText();

}  // namespace render
