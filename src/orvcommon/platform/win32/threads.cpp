#include "orvcommon/platform/threads.hpp"

#include <windows.h>

#include <utility>
#include <vector>

namespace orv::platform {

namespace {

using ExitCalls = std::vector<std::pair<void (*)(void*), void*>>;

// A fiber-local storage slot whose callback Windows runs with the thread's
// value when the thread ends: the list of the thread's exit calls, on the
// heap, so nothing here depends on the emulated thread-local storage.
void NTAPI runExitCalls(void* value) {
    auto* calls = static_cast<ExitCalls*>(value);
    if (!calls) return;
    while (!calls->empty()) {
        auto [fn, arg] = calls->back();
        calls->pop_back();
        fn(arg);
    }
    delete calls;
}

// The slot is given back when the module unloads, so that no thread ends
// later with a callback into unloaded code (freeing the slot runs the
// callback for the values still set).
struct Slot {
    DWORD index = FlsAlloc(runExitCalls);
    ~Slot() {
        if (index != FLS_OUT_OF_INDEXES) FlsFree(index);
    }
};

}  // namespace

void atThreadExit(void (*fn)(void*), void* arg) {
    static Slot slot;
    if (slot.index == FLS_OUT_OF_INDEXES) return;  // no slot: the object stays until exit
    auto* calls = static_cast<ExitCalls*>(FlsGetValue(slot.index));
    if (!calls) {
        calls = new ExitCalls;
        if (!FlsSetValue(slot.index, calls)) {
            delete calls;
            return;
        }
    }
    calls->emplace_back(fn, arg);
}

}  // namespace orv::platform
