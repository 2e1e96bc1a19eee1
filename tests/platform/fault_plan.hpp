// Test support for the fault test: which system call fails next, and how.
#pragma once

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

// One injected error and its name in messages.
struct Error {
    int code;
    const char* name;
};

// What an operation makes of a failed call: the number its error is
// documented to give, unless the call is one the operation may get past
// (then success is fine too, with the outcome of a run without faults) or
// one it answers with a number of its own. "*" stands for every call.
struct Expectations {
    std::set<std::string> mayPass;
    std::map<std::string, int32_t> own = {};
};

}  // namespace orv::fault
