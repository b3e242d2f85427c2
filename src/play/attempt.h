// The play step carries on past a failing statement: the statement is abandoned and the next one
// runs. Attempt is that rule for one statement. The arithmetic below raises run-time errors where
// the program's number rules do (a division by zero, a result no Single holds) instead of
// carrying infinities along.
#pragma once

#include <cmath>

#include "base/vb.h"

namespace modCount {

// Runs one statement; a run-time error abandons just that statement.
template <typename Statement>
void Attempt(Statement&& statement) {
    try {
        statement();
    } catch (const vb::Error&) {
    }
}

// Floating division: by zero is error 11, and 0 / 0 is error 6.
inline double Divide(double a, double b) {
    if (b == 0) {
        if (a == 0) vb::Overflow();
        vb::DivisionByZero();
    }
    double q = a / b;
    if (!std::isfinite(q)) vb::Overflow();
    return q;
}

// Milliseconds of one tick at a tempo: 240000 / (bpm x 192), the product taken in Single.
inline vb::Single MsPerTick(vb::Single bpm) {
    vb::Single ticksPerMinute = bpm * 192.0f;
    if (!std::isfinite(ticksPerMinute)) vb::Overflow();
    return vb::CSng(Divide(240000.0, ticksPerMinute));
}

}  // namespace modCount
