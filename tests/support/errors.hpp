// Test support: the run-time error number a call raises (0 when it raises
// none).
#pragma once

#include <cstdint>
#include <functional>

#include "orvcommon/base/errors.hpp"

namespace orv::test {

inline int32_t errorNumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace orv::test
