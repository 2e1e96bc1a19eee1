// The report targets of each thread and the testing seam, over the targets
// each backend makes.
#include "orvcommon/platform/report_target.hpp"

#include <mutex>

#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/threads.hpp"

namespace orv::platform {
namespace {

std::mutex gFactoryMutex;
ReportTargetFactory gFactory;

// One printer and one form per thread, as the automation apartment has them;
// a window belongs to the thread that made it.
struct ThreadTargets {
    std::unique_ptr<ReportTarget> targets[2];
    bool formIsOurs = false;  // the form came from the backend
};

ThreadTargets& threadTargets() {
    return perThread<ThreadTargets>();
}

std::unique_ptr<ReportTarget>& slot(ReportTargetKind kind) {
    return threadTargets().targets[kind == ReportTargetKind::Printer ? 0 : 1];
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
        t = factory ? factory(kind) : backend::makeReportTarget(kind);
        if (kind == ReportTargetKind::Form) threadTargets().formIsOurs = !factory;
    }
    return *t;
}

ReportTarget* existingReportTarget(ReportTargetKind kind) {
    return slot(kind).get();
}

void discardReportTarget(ReportTargetKind kind) {
    slot(kind).reset();
}

void processReportEvents() {
    ThreadTargets& targets = threadTargets();
    if (auto& form = targets.targets[1]; form && targets.formIsOurs)
        backend::processFormEvents(*form);
}

void setReportTargetFactoryForTesting(ReportTargetFactory factory) {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    gFactory = std::move(factory);
}

}  // namespace orv::platform
