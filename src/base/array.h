// Arrays that check every index against their declared bounds (error 9 outside them).
#pragma once

#include <cstddef>
#include <vector>

#include "base/error.h"

namespace vb {

// Array with declared bounds Lo to Hi.
template <typename T, long Lo, long Hi>
class Array {
  public:
    static constexpr long kLower = Lo;
    static constexpr long kUpper = Hi;
    T& operator[](long i) {
        if (i < Lo || i > Hi) SubscriptOutOfRange();
        return items_[static_cast<size_t>(i - Lo)];
    }
    const T& operator[](long i) const {
        if (i < Lo || i > Hi) SubscriptOutOfRange();
        return items_[static_cast<size_t>(i - Lo)];
    }
    T* begin() { return items_; }
    T* end() { return items_ + (Hi - Lo + 1); }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + (Hi - Lo + 1); }
    void Fill(const T& v) {
        for (auto& x : items_) x = v;
    }

  private:
    T items_[Hi - Lo + 1]{};
};

// Dynamic array with lower bound 0 (ReDim Preserve keeps the contents).
template <typename T>
class DynArray {
  public:
    long UBound() const { return static_cast<long>(items_.size()) - 1; }
    void ReDim(long upper) { items_.assign(static_cast<size_t>(upper + 1), T{}); }
    void ReDimPreserve(long upper) { items_.resize(static_cast<size_t>(upper + 1)); }
    T& operator[](long i) {
        if (i < 0 || i > UBound()) SubscriptOutOfRange();
        return items_[static_cast<size_t>(i)];
    }
    const T& operator[](long i) const {
        if (i < 0 || i > UBound()) SubscriptOutOfRange();
        return items_[static_cast<size_t>(i)];
    }
    T* data() { return items_.data(); }
    const T* data() const { return items_.data(); }

  private:
    std::vector<T> items_;
};

}  // namespace vb
