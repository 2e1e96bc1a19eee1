// The test seam over the operating system: every system call the platform
// backend makes, and the few services tests need to fix, go through one table
// whose entries a test can replace by name and restore. A replacement has the
// signature of the call it replaces, seen here as a plain function pointer.
//
// The service entries, under the same names on every system (the services
// are kept by the common part, system_calls.cpp; each backend gives its
// clock, event log and default store, the random source is common):
//   "clock"          LocalTime ()       the local date and time now
//   "random"         float ()           a pseudo-random number in [0, 1)
//   "eventlog"       void (TextView)    writes one message to the host's event log
//   "settingsstore"  Text ()            the settings store used when the process
//                                       chose none (setSettingsStorePath wins)
// Beside them, each backend lists its own system calls under their own names
// ("open", "write", "rename", "dladdr", "newlocale" ... on POSIX).
//
// Libraries are not system calls and are not in the table: libcurl, cairo,
// CUPS and the dynamic loader's loading of them (dlopen) are replaced through
// the factories of the classes that use them.
//
// Replacing calls is for tests: it is not synchronised with calls in flight.
#pragma once

#include <span>

#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/clock.hpp"

// The service entries, X(name, result, parameters, arguments).
#define ORV_PLATFORM_SERVICES(X)                     \
    X(clock, LocalTime, (), ())                      \
    X(random, float, (), ())                         \
    X(eventlog, void, (TextView message), (message)) \
    X(settingsstore, Text, (), ())

namespace orv::platform {

using SystemCall = void (*)();

// Replaces the call `name`; nullptr restores the system's own. False when the
// backend makes no call of that name.
bool setSystemCall(const char* name, SystemCall replacement);
// The call in force for `name`, and the system's own; nullptr for an unknown name.
SystemCall systemCall(const char* name);
SystemCall originalSystemCall(const char* name);
// The names in order: nullptr gives the first, the last gives nullptr.
const char* nextSystemCall(const char* name);
// Puts every call back.
void restoreSystemCalls();

// The system's own services (clockService, eventlogService and
// settingsstoreService in each backend, randomService in clock.cpp), and
// those in force, which every use of a service goes through.
#define ORV_SERVICE_DECLARE(name, result, params, args) result name##Service params;
ORV_PLATFORM_SERVICES(ORV_SERVICE_DECLARE)
#undef ORV_SERVICE_DECLARE
struct Services {
#define ORV_SERVICE_ENTRY(name, result, params, args) result(*name) params;
    ORV_PLATFORM_SERVICES(ORV_SERVICE_ENTRY)
#undef ORV_SERVICE_ENTRY
};
extern Services services;

// The backend's table of its system calls (the services follow them in the
// order the functions above walk). The calls in force are kept with their own
// types; `get` and `set` convert from and to the plain pointer seen here
// (a function pointer converted and back is the same pointer).
struct SystemCallEntry {
    const char* name;
    SystemCall (*get)();           // the entry in force
    void (*set)(SystemCall call);  // puts `call` in force
    SystemCall original;           // the system's own
};
std::span<const SystemCallEntry> systemCallEntries();

}  // namespace orv::platform
