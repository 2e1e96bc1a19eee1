// Run-time errors: the numbered failures that operations trap or let through.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "orvcommon/core/text.hpp"
#include "orvcommon/export.hpp"

namespace orv {

// Standard run-time error numbers used across the library.
namespace err {
inline constexpr int32_t kInvalidArgument = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kDllLoadFailed = 48;
inline constexpr int32_t kInternal = 51;
inline constexpr int32_t kBadFileNameOrNumber = 52;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kFileAlreadyOpen = 55;
inline constexpr int32_t kDeviceIo = 57;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kInputPastEnd = 62;
inline constexpr int32_t kBadRecordNumber = 63;
inline constexpr int32_t kTooManyFiles = 67;
inline constexpr int32_t kDeviceUnavailable = 68;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kDiskNotReady = 71;
inline constexpr int32_t kRenameAcrossDrives = 74;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kDllEntryPointNotFound = 453;
inline constexpr int32_t kPrinterError = 482;
}  // namespace err

// The platform's standard English message of a run-time error number
// ("Application-defined or object-defined error" for numbers it has none for).
ORV_API const Text& standardMessage(int32_t number);

// A run-time error: number and description. Its description is the standard
// message unless the code that raised it supplied its own.
class ORV_API RuntimeError : public std::exception {
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
[[noreturn]] ORV_API void raise(int32_t number);
[[noreturn]] ORV_API void raise(int32_t number, Text description);

// The automation error code under which run-time error n travels
// (0x800A0000 + n).
constexpr int32_t automationErrorCode(int32_t n) {
    return static_cast<int32_t>(0x800A0000u + static_cast<uint32_t>(n));
}

}  // namespace orv
