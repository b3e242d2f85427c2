#include "base/media_budget.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace media {

namespace {
std::atomic<size_t> limit{SIZE_MAX};
std::atomic<size_t> used{0};
}  // namespace

void SetBudget(size_t bytes) {
    limit = bytes;
}

size_t Budget() {
    return limit;
}

size_t InUse() {
    return used;
}

bool Reserve(size_t bytes) {
    size_t now = used.load();
    do {
        if (bytes > limit.load() || now > limit.load() - bytes) return false;
    } while (!used.compare_exchange_weak(now, now + bytes));
    return true;
}

void Release(size_t bytes) {
    size_t now = used.load();
    while (!used.compare_exchange_weak(now, now - std::min(bytes, now))) {
    }
}

size_t DefaultBudget(size_t machineBytes) {
    constexpr size_t kTwoGiB = size_t{2} << 30;
    return machineBytes == 0 ? kTwoGiB : std::min(kTwoGiB, machineBytes / 2);
}

}  // namespace media
