// One budget for everything a chart makes the player decode: sounds, pictures and video frames.
// Each slot is capped on its own, but a chart has 1,296 of each; the budget keeps their sum within
// what the machine can give. Decoders run on worker threads, so the counts are atomic.
#pragma once

#include <cstddef>

namespace media {

// The limit in bytes (the shell sets it at start-up; until then there is none).
void SetBudget(size_t bytes);
size_t Budget();
// Bytes reserved now.
size_t InUse();

// Takes `bytes` from the budget; false, with nothing taken, when they do not fit.
bool Reserve(size_t bytes);
void Release(size_t bytes);

// The default limit: 2 GiB, or half the machine's memory when that is less.
size_t DefaultBudget(size_t machineBytes);

}  // namespace media
