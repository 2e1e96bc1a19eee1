// Run-time errors: the numbered failures that operations trap or let through.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "orvcommon/base/error_list.hpp"
#include "orvcommon/base/text.hpp"

namespace orv {

// The named run-time error numbers, one per entry of the list.
namespace err {
#define ORV_ERROR_CONSTANT(number, name, message) inline constexpr int32_t k##name = number;
ORV_ERROR_LIST(ORV_ERROR_CONSTANT)
#undef ORV_ERROR_CONSTANT
}  // namespace err

// The platform's standard English message of a run-time error number
// ("Application-defined or object-defined error" for numbers it has none for).
const Text& standardMessage(int32_t number);

// A run-time error: number and description. Its description is the standard
// message unless the code that raised it supplied its own.
class RuntimeError : public std::exception {
  public:
    explicit RuntimeError(int32_t number);
    RuntimeError(int32_t number, Text description);

    int32_t number() const noexcept { return number_; }
    const Text& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    int32_t number_;
    Text description_;
    std::string what_;
};

// Raises run-time error `number` with its standard message.
[[noreturn]] void raise(int32_t number);
[[noreturn]] void raise(int32_t number, Text description);

// The automation error code under which run-time error n travels
// (0x800A0000 + n).
constexpr int32_t automationErrorCode(int32_t n) {
    return static_cast<int32_t>(0x800A0000u + static_cast<uint32_t>(n));
}

}  // namespace orv
