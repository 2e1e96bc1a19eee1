#include "orvcommon/platform/threads.hpp"

#include <utility>
#include <vector>

namespace orv::platform {

namespace {

// The thread's exit calls, run by the destructor of a thread_local (native
// thread-local storage here, whose destructors run before its memory goes).
struct ExitCalls {
    std::vector<std::pair<void (*)(void*), void*>> calls;
    ~ExitCalls() {
        while (!calls.empty()) {
            auto [fn, arg] = calls.back();
            calls.pop_back();
            fn(arg);
        }
    }
};

}  // namespace

void atThreadExit(void (*fn)(void*), void* arg) {
    thread_local ExitCalls exits;
    exits.calls.emplace_back(fn, arg);
}

}  // namespace orv::platform
