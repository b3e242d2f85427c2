// The generator behind #RANDOM. The runtime's own Rnd is a 24-bit linear congruential sequence;
// the same recurrence serves here, seeded from the clock at every load unless a fixed seed was
// given (the renderer's --seed), which makes a chart's random blocks reproducible.
#include <chrono>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {
constexpr uint32_t kMask = 0xFFFFFF;
int64_t fixedSeed = -1;
uint32_t state = 0x50000;
}  // namespace

void SetRandomSeed(int64_t seed) {
    fixedSeed = seed;
}

void ResetRandom() {
    fixedSeed = -1;
    state = 0x50000;
}

void SeedRandomForLoad() {
    if (fixedSeed >= 0) {
        state = static_cast<uint32_t>(fixedSeed) & kMask;
        return;
    }
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    state = static_cast<uint32_t>(ticks ^ (ticks >> 24)) & kMask;
}

Single Rnd() {
    state = (state * 1140671485u + 12820163u) & kMask;
    return static_cast<Single>(state) / 16777216.0f;
}

}  // namespace modBMSLoad
