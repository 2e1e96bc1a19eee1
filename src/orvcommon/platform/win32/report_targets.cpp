// The report targets of each thread and the testing seam. Windows has no
// drawing backend yet (its GDI printer and form come later): without a
// test factory, making a target raises run-time error 482, so `openReport`
// fails with "Printer error" for the printer and the form alike.
#include <mutex>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/report_target.hpp"
#include "orvcommon/platform/threads.hpp"

namespace orv::platform {
namespace {

std::mutex gFactoryMutex;
ReportTargetFactory gFactory;

// One printer and one form per thread, as the automation apartment has them.
struct ThreadTargets {
    std::unique_ptr<ReportTarget> targets[2];
};

std::unique_ptr<ReportTarget>& slot(ReportTargetKind kind) {
    return perThread<ThreadTargets>().targets[kind == ReportTargetKind::Printer ? 0 : 1];
}

}  // namespace

ReportTarget& reportTarget(ReportTargetKind kind) {
    auto& t = slot(kind);
    if (!t) {
        ReportTargetFactory factory;
        {
            std::lock_guard<std::mutex> lock(gFactoryMutex);
            factory = gFactory;
        }
        if (!factory) raise(err::kPrinterError);
        t = factory(kind);
    }
    return *t;
}

ReportTarget* existingReportTarget(ReportTargetKind kind) {
    return slot(kind).get();
}

void discardReportTarget(ReportTargetKind kind) {
    slot(kind).reset();
}

// No window of ours to repaint yet.
void processReportEvents() {}

void setReportTargetFactoryForTesting(ReportTargetFactory factory) {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    gFactory = std::move(factory);
}

}  // namespace orv::platform
