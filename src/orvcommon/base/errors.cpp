#include "orvcommon/base/errors.hpp"

namespace orv {

const Text& standardMessage(int32_t number) {
#define ORV_ERROR_MESSAGE(n, name, message) \
    case n: {                               \
        static const Text text = message;   \
        return text;                        \
    }
    switch (number) { ORV_ERROR_LIST(ORV_ERROR_MESSAGE) }
#undef ORV_ERROR_MESSAGE
    static const Text kOther = u"Application-defined or object-defined error";
    return kOther;
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
