// Run-time errors with numbers: what a failing step raises, and what the error report logs.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace vb {

// A run-time error: number and description, as the error report logs them.
struct Error : std::exception {
    int32_t number;
    std::string description;
    Error(int32_t n, std::string d) : number(n), description(std::move(d)) {}
    const char* what() const noexcept override { return description.c_str(); }
};

[[noreturn]] void Raise(int32_t number);  // the standard description for the number
[[noreturn]] inline void Overflow() {
    Raise(6);
}
[[noreturn]] inline void SubscriptOutOfRange() {
    Raise(9);
}
[[noreturn]] inline void DivisionByZero() {
    Raise(11);
}
[[noreturn]] inline void TypeMismatch() {
    Raise(13);
}
std::string ErrorDescription(int32_t number);

}  // namespace vb
