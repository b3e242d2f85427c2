#include "base/error.h"

namespace vb {

std::string ErrorDescription(int32_t number) {
    switch (number) {
        case 5:
            return "Invalid procedure call or argument";
        case 6:
            return "Overflow";
        case 7:
            return "Out of memory";
        case 9:
            return "Subscript out of range";
        case 11:
            return "Division by zero";
        case 13:
            return "Type mismatch";
        case 52:
            return "Bad file name or number";
        case 53:
            return "File not found";
        case 62:
            return "Input past end of file";
        case 75:
            return "Path/File access error";
        default:
            return "Application-defined or object-defined error";
    }
}

void Raise(int32_t number) {
    throw Error(number, ErrorDescription(number));
}

}  // namespace vb
