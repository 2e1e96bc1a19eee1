#include "orvcommon/results/trap.hpp"

#include <new>

#include "orvcommon/platform/module.hpp"

namespace orv {

Origin classOrigin(TextView className) {
    return Origin{Text(className), platform::moduleName()};
}

Origin moduleOrigin() {
    return Origin{platform::moduleName(), Text()};
}

void fillTrappedFailure(ErrInfo& result, const Trap& trap, int32_t number,
                        const Text& description) {
    const Text& text =
        trap.description == Description::Standard ? standardMessage(number) : description;
    result.fill(number, text, eiERRORTYPE, trap.location, trap.origin.classInfo,
                trap.origin.processInfo);
    result.writeLog();  // errors always reach the main log; its result is discarded
}

void fillFromCurrentException(ErrInfo& result, const Trap& trap) noexcept {
    int32_t number = err::kInternal;
    try {
        try {
            throw;
        } catch (const RuntimeError& e) {
            number = e.number();
            fillTrappedFailure(result, trap, number, e.description());
        } catch (const std::bad_alloc&) {
            number = err::kOutOfMemory;
            fillTrappedFailure(result, trap, number, standardMessage(number));
        } catch (...) {
            fillTrappedFailure(result, trap, number, standardMessage(number));
        }
    } catch (...) {
        // Filling or logging failed in turn (out of memory, most likely).
        // Empty texts take no memory: the caller still gets the number.
        if (result.numberInfo() != number || result.typeInfo() != eiERRORTYPE) {
            try {
                result.fill(number, Text(), eiERRORTYPE, Text());
            } catch (...) {
            }
        }
    }
}

void fillDetectedFailure(ErrInfo& result, const Trap& trap, int32_t code, const Text& description) {
    result.fill(code, description, eiERRORTYPE, trap.location, trap.origin.classInfo,
                trap.origin.processInfo);
}

void fillSuccess(ErrInfo& result, const Trap& trap, const Text& successText) {
    result.fill(eiSUCCESFULL, successText, eiINFORMATIONTYPE, trap.location, trap.origin.classInfo,
                trap.origin.processInfo);
}

}  // namespace orv
