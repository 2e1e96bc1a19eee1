// The trapping helper shared by every result-returning operation: create the
// result, run the body, and on a run-time failure fill the result with the
// error's number and description, eiERRORTYPE, the location and the origin
// pair, append it to the main log and return it.
#pragma once

#include "orvcommon/base/errors.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

// What an operation passes as vntClassInfo and vntProcessInfo.
struct Origin {
    Text classInfo;
    Text processInfo;
};
// FileUtility, RegistryUtility, NxInet: class name and module name.
Origin classOrigin(TextView className);
// Funzioni: module name as class, no process.
Origin moduleOrigin();

enum class Description {
    Own,       // the error's own description
    Standard,  // the standard message text of the error number
};

struct Trap {
    Text location;
    Origin origin;
    Description description = Description::Own;
};

// Fills `result` as a trapped failure and appends it to the main log.
void fillTrappedFailure(ErrInfo& result, const Trap& trap, int32_t number, const Text& description);
// Fills `result` as a failure the operation detected itself (not logged).
void fillDetectedFailure(ErrInfo& result, const Trap& trap, int32_t code, const Text& description);
// Fills `result` as success with the operation's success text.
void fillSuccess(ErrInfo& result, const Trap& trap, const Text& successText);

// Fills `result` from the exception being handled (inside a catch block):
// a run-time error with its number, out of memory as error 7, anything else
// as error 51; then logs it. Never throws: when filling or logging fails in
// turn, the result still carries the number and eiERRORTYPE.
void fillFromCurrentException(ErrInfo& result, const Trap& trap) noexcept;

// Runs `body(result)` on a fresh result object; whatever it throws becomes a
// trapped failure, and nothing crosses this boundary.
template <class Body>
ErrInfo trapped(const Trap& trap, Body&& body) noexcept {
    ErrInfo result;
    try {
        body(result);
    } catch (...) {
        fillFromCurrentException(result, trap);
    }
    return result;
}

}  // namespace orv
