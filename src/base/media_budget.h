// One budget for everything a chart makes the player decode: sounds, pictures and video frames.
// Each slot is capped on its own, but a chart has 1,296 of each; the budget keeps their sum within
// what the machine can give. Decoders run on worker threads, so the counts are atomic.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

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

// Thrown by a decode that would pass the budget: the file is not tried further, and its slot stays
// empty as for a file that cannot be decoded.
struct OverBudget : std::bad_alloc {
    const char* what() const noexcept override { return "media budget exceeded"; }
};

// Bytes held from the budget for as long as the object lives (a decoded file, or a decoder's
// buffers while they grow).
class Reservation {
  public:
    Reservation() = default;
    ~Reservation() { Release(bytes_); }
    Reservation(Reservation&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}
    Reservation& operator=(Reservation&& other) noexcept {
        std::swap(bytes_, other.bytes_);
        return *this;
    }
    // Takes `more` bytes as well; false, with nothing more taken, when they do not fit.
    bool Add(size_t more) {
        if (!Reserve(more)) return false;
        bytes_ += more;
        return true;
    }
    // Gives back `less` bytes of those held.
    void Drop(size_t less) {
        less = less < bytes_ ? less : bytes_;
        Release(less);
        bytes_ -= less;
    }
    size_t Bytes() const { return bytes_; }

  private:
    size_t bytes_ = 0;
};

}  // namespace media
