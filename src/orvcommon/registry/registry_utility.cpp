#include "orvcommon/registry/registry_utility.hpp"

#include "orvcommon/core/dates.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {

namespace {

constexpr char16_t kClassName[] = u"RegistryUtility";

std::unique_ptr<RegistryWriter> createWriter(const RegistryWriterFactory& factory) {
    std::unique_ptr<RegistryWriter> writer = factory ? factory() : nullptr;
    if (!writer) throw RuntimeError(kCannotCreateObject);
    return writer;
}

}  // namespace

Text connectionKeyName(const Text& sApplicationName) {
    return u"SOFTWARE\\" + sApplicationName + u"\\DbAccess";
}

RegistryUtility::RegistryUtility() : writerFactory_(defaultRegistryWriterFactory()) {}

RegistryUtility::RegistryUtility(RegistryWriterFactory writerFactory)
    : writerFactory_(std::move(writerFactory)) {}

Text RegistryUtility::getKeyValue(int32_t& KeyRoot, Text& KeyName, Text& SubKeyRef) {
    RegistryText value = readRegistryText(static_cast<uint32_t>(KeyRoot), KeyName, SubKeyRef);
    if (value.read) return value.text;
    // A missing setting always leaves a trace in the main log.
    ErrInfo trace;
    trace.fill(0, Text(), eiERRORTYPE, u"getKeyValue", Text(kClassName), platform::moduleName());
    trace.writeLog();
    return Text();
}

ErrInfo RegistryUtility::getInfoForConnection(const Text& sApplicationName, Text& sConnectionDbName,
                                              Text& sConnectionUser, Text& sConnectionPassword) {
    const Trap trap{u"getInfoForConnection", classOrigin(kClassName), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        int32_t root = static_cast<int32_t>(kHkeyLocalMachine);
        Text key = connectionKeyName(sApplicationName);
        Text name = u"connectionDbName";
        sConnectionDbName = getKeyValue(root, key, name);
        name = u"connectionUser";
        sConnectionUser = getKeyValue(root, key, name);
        name = u"connectionPassword";
        sConnectionPassword = getKeyValue(root, key, name);
        fillSuccess(result, trap, Text());
    });
}

ErrInfo RegistryUtility::saveInfoForConnection(const Text& sApplicationName,
                                               const Text& sConnectionDbName,
                                               const Text& sConnectionUser,
                                               const Text& sConnectionPassword) {
    const Trap trap{u"saveInfoForConnection", classOrigin(kClassName), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        bool written = false;
        {
            std::unique_ptr<RegistryWriter> writer = createWriter(writerFactory_);
            const int32_t root = static_cast<int32_t>(kHkeyLocalMachine);
            const Text key = connectionKeyName(sApplicationName);
            // Each write only after the one before it succeeded; values
            // already written stay written.
            written = writer->setStringValue(root, key, u"connectionDbName",
                                             trimTrailingSpaces(sConnectionDbName)) &&
                      writer->setStringValue(root, key, u"connectionUser",
                                             trimTrailingSpaces(sConnectionUser)) &&
                      writer->setStringValue(root, key, u"connectionPassword",
                                             trimTrailingSpaces(sConnectionPassword));
        }  // the writer is released here
        if (written) {
            fillSuccess(result, trap, Text());
            return;
        }
        fillDetectedFailure(result, trap, eiREGISTRYERROR,
                            u"Error in writing registry:HKEY_LOCAL_MACHINE");
        result.writeLog();
    });
}

bool RegistryUtility::isRegistryInWritePermission() {
    bool answer = false;
    try {
        std::unique_ptr<RegistryWriter> writer = createWriter(writerFactory_);
        const auto t = platform::now();
        const double when = oleFromParts({t.year, t.month, t.day, t.hour, t.minute, t.second, 0});
        const Text stamp = formatDate(when, u"yyyymmddhhnnss");
        // A write that fails with an error instead of answering false leaves
        // the answer true: only the writer's own "no" counts as refusal.
        answer = true;
        answer = writer->setStringValue(static_cast<int32_t>(kHkeyLocalMachine), u"SOFTWARE\\VELN",
                                        u"Check", stamp);
    } catch (...) {
        // Every failure is absorbed.
    }
    return answer;
}

}  // namespace orv
