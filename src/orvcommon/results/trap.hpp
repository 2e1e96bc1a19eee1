// The trapping helper shared by every result-returning operation: create the
// result, run the body, and on a run-time failure fill the result with the
// error's number and description, eiERRORTYPE, the location and the origin
// pair, append it to the main log and return it.
#pragma once

#include <new>

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

// Runs `body(result)` on a fresh result object; a run-time error (or an out-
// of-memory or other failure, as errors 7 and 51) becomes a trapped failure.
template <class Body>
ErrInfo trapped(const Trap& trap, Body&& body) {
    ErrInfo result;
    try {
        body(result);
    } catch (const RuntimeError& e) {
        fillTrappedFailure(result, trap, e.number(), e.description());
    } catch (const std::bad_alloc&) {
        fillTrappedFailure(result, trap, err::kOutOfMemory, standardMessage(err::kOutOfMemory));
    } catch (const std::exception&) {
        fillTrappedFailure(result, trap, err::kInternal, standardMessage(err::kInternal));
    }
    return result;
}

}  // namespace orv
