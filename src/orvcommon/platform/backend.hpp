// Private to platform/: what each backend (posix/, win32/) gives the part of
// the platform layer that is written once, beside the interfaces (module.cpp,
// report_target.cpp, files.cpp; the services are in system_calls.hpp, the
// internet layer's in inet_common.hpp).
#pragma once

#include <memory>
#include <string>

#include "orvcommon/base/result.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/report_target.hpp"

namespace orv::platform::backend {

// The library's own file as the system names it: the module's name (the
// base name without "lib" and extension) and its folder, without a trailing
// separator. Left as given where the system cannot say.
struct ModuleInfo {
    Text name = u"orvcommon";
    Text folder = u".";
};
ModuleInfo probeModule();

// A new target of the system's own kind for `kind`.
std::unique_ptr<ReportTarget> makeReportTarget(ReportTargetKind kind);
// Lets a form made by makeReportTarget handle the events of its window.
void processFormEvents(ReportTarget& form);

// Reads to the end of a file through `readSome(buffer, n)`, which reads up
// to n bytes, fewer only at the end, and answers the count or a failure.
template <class ReadSome>
Status readToEnd(ReadSome&& readSome, std::string& out) {
    char chunk[65536];
    for (;;) {
        Result<size_t> got = readSome(chunk, sizeof chunk);
        if (!got) return got.failure();
        out.append(chunk, *got);
        if (*got < sizeof chunk) return Status();
    }
}

// Twelve characters nobody can guess, for the name of a temporary or work
// file, and how many such names a backend draws before it gives up (each
// draw that meets an existing file draws again).
std::string randomSuffix();
constexpr int kNameAttempts = 64;

}  // namespace orv::platform::backend
