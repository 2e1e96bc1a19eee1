#include "orvcommon/core/errors.hpp"

#include <unordered_map>

namespace orv {

const Text& standardMessage(int32_t number) {
    static const std::unordered_map<int32_t, Text> kMessages = {
        {3, u"Return without GoSub"},
        {5, u"Invalid procedure call or argument"},
        {6, u"Overflow"},
        {7, u"Out of memory"},
        {9, u"Subscript out of range"},
        {10, u"This array is fixed or temporarily locked"},
        {11, u"Division by zero"},
        {13, u"Type mismatch"},
        {14, u"Out of string space"},
        {28, u"Out of stack space"},
        {48, u"Error in loading DLL"},
        {51, u"Internal error"},
        {52, u"Bad file name or number"},
        {53, u"File not found"},
        {54, u"Bad file mode"},
        {55, u"File already open"},
        {57, u"Device I/O error"},
        {58, u"File already exists"},
        {59, u"Bad record length"},
        {61, u"Disk full"},
        {62, u"Input past end of file"},
        {63, u"Bad record number"},
        {67, u"Too many files"},
        {68, u"Device unavailable"},
        {70, u"Permission denied"},
        {71, u"Disk not ready"},
        {74, u"Can't rename with different drive"},
        {75, u"Path/File access error"},
        {76, u"Path not found"},
        {91, u"Object variable or With block variable not set"},
        {94, u"Invalid use of Null"},
        {429, u"ActiveX component can't create object"},
        {438, u"Object doesn't support this property or method"},
        {448, u"Named argument not found"},
        {449, u"Argument not optional"},
        {450, u"Wrong number of arguments or invalid property assignment"},
        {453, u"Specified DLL function not found"},
        {482, u"Printer error"},
    };
    static const Text kOther = u"Application-defined or object-defined error";
    auto it = kMessages.find(number);
    return it == kMessages.end() ? kOther : it->second;
}

RuntimeError::RuntimeError(int32_t number) : RuntimeError(number, standardMessage(number)) {}

RuntimeError::RuntimeError(int32_t number, Text description)
    : number_(number), description_(std::move(description)) {
    what_ = "run-time error " + std::to_string(number_) + ": " + toUtf8(description_);
}

void raise(int32_t number) {
    throw RuntimeError(number);
}
void raise(int32_t number, Text description) {
    throw RuntimeError(number, std::move(description));
}

}  // namespace orv
