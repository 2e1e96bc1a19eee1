// Test support for the fault test: which system call fails next, and how.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace orv::fault {

// The call to fail: its name, its index among the calls of that name since
// the counts were reset, and the error it reports.
struct Plan {
    std::string call;
    int at = -1;
    int error = 0;
    std::map<std::string, int> counts;
};
inline Plan gPlan;

// Puts the fault wrappers of the system's half in place while it lives;
// halfWrites(true) replaces the write wrapper with the one that writes half.
struct InstallFaults {
    InstallFaults();
    static void halfWrites(bool on);
    ~InstallFaults();
};

// One injected error, its name, and the number a file operation answers.
struct Error {
    int code;
    const char* name;
    int32_t number;
};

// What an operation makes of a failed call: its error's number, unless the
// operation may get past that call (then success too) or answers it with a
// number of its own. "*" stands for every call.
struct Expectations {
    std::set<std::string> mayPass;
    std::map<std::string, int32_t> own = {};
};

}  // namespace orv::fault
