// Replacing and restoring the entries of the backend's system-call table by
// name, the same on every system.
#include "orvcommon/platform/system_calls.hpp"

#include <cstring>

namespace orv::platform {
namespace {

const SystemCallEntry* find(const char* name) {
    for (const SystemCallEntry& e : systemCallEntries())
        if (name && std::strcmp(e.name, name) == 0) return &e;
    return nullptr;
}

}  // namespace

bool setSystemCall(const char* name, SystemCall replacement) {
    const SystemCallEntry* e = find(name);
    if (!e) return false;
    e->set(replacement ? replacement : e->original);
    return true;
}

SystemCall systemCall(const char* name) {
    const SystemCallEntry* e = find(name);
    return e ? e->get() : nullptr;
}

SystemCall originalSystemCall(const char* name) {
    const SystemCallEntry* e = find(name);
    return e ? e->original : nullptr;
}

const char* nextSystemCall(const char* name) {
    const auto all = systemCallEntries();
    if (!name) return all.empty() ? nullptr : all.front().name;
    for (size_t i = 0; i + 1 < all.size(); ++i)
        if (std::strcmp(all[i].name, name) == 0) return all[i + 1].name;
    return nullptr;
}

void restoreSystemCalls() {
    for (const SystemCallEntry& e : systemCallEntries())
        e.set(e.original);
}

}  // namespace orv::platform
