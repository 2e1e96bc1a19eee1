// Replacing and restoring the entries of the backend's system-call table by
// name, the same on every system.
#include "orvcommon/platform/system_calls.hpp"

#include <cstring>
#include <vector>

namespace orv::platform {
namespace {

constexpr Services kServices = {
#define ORV_SERVICE_INIT(name, result, params, args) &name##Service,
    ORV_PLATFORM_SERVICES(ORV_SERVICE_INIT)
#undef ORV_SERVICE_INIT
};

// The backend's system calls, then the services.
const std::vector<SystemCallEntry>& entries() {
    static const std::vector<SystemCallEntry> all = [] {
        const auto calls = systemCallEntries();
        std::vector<SystemCallEntry> out(calls.begin(), calls.end());
#define ORV_SERVICE_NAMED(name, result, params, args)                                              \
    out.push_back(                                                                                 \
        {#name, [] { return reinterpret_cast<SystemCall>(services.name); },                        \
         [](SystemCall call) { services.name = reinterpret_cast<decltype(services.name)>(call); }, \
         reinterpret_cast<SystemCall>(kServices.name)});
        ORV_PLATFORM_SERVICES(ORV_SERVICE_NAMED)
#undef ORV_SERVICE_NAMED
        return out;
    }();
    return all;
}

const SystemCallEntry* find(const char* name) {
    for (const SystemCallEntry& e : entries())
        if (name && std::strcmp(e.name, name) == 0) return &e;
    return nullptr;
}

}  // namespace

Services services = kServices;

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
    const auto& all = entries();
    if (!name) return all.empty() ? nullptr : all.front().name;
    for (size_t i = 0; i + 1 < all.size(); ++i)
        if (std::strcmp(all[i].name, name) == 0) return all[i + 1].name;
    return nullptr;
}

void restoreSystemCalls() {
    for (const SystemCallEntry& e : entries())
        e.set(e.original);
}

}  // namespace orv::platform
