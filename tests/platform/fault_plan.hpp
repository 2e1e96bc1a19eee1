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
    bool fired = false;
    // For a write: the failing call first writes half of its bytes, the
    // next write reports the error (a disk that fills up part way).
    bool half = false;
    std::map<std::string, int> counts;
};
inline Plan gPlan;

// One injected error and its name in messages.
struct Error {
    int code;
    const char* name;
};

// What an operation does under faults, beyond ending in the mapped number of
// its error. A point is a call ("write") or one call of that name ("write#1").
struct Expectations {
    std::set<std::string> passes;        // points the operation gets past
    std::map<std::string, int32_t> own;  // points that end in a number of their own
    std::set<std::string> once = {};     // points that do not retry an interrupted call
};

}  // namespace orv::fault
