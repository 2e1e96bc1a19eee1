// The test seam over the operating system: every system call the platform
// backend makes goes through one table whose entries a test can replace by
// name and restore. The names are the backend's own ("open", "write",
// "rename" ... on POSIX); a replacement has the signature of the call it
// replaces, seen here as a plain function pointer.
//
// The clock, the random source, the event log and the settings-store path
// have their own replacements (clock.hpp, eventlog.hpp, settings.hpp).
// Replacing calls is for tests: it is not synchronised with calls in flight.
#pragma once

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

}  // namespace orv::platform
