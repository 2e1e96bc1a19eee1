#include "orvcommon/registry/registry_writer.hpp"

#include <mutex>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/eventlog.hpp"
#include "orvcommon/platform/settings.hpp"

namespace orv {

namespace {

class StoreRegistryWriter final : public RegistryWriter {
  public:
    bool setStringValue(int32_t lRoot, const Text& sKeyName, const Text& sValueName,
                        const Text& sValue) override {
        const platform::RegRoot* root = platform::rootByHandle(static_cast<uint32_t>(lRoot));
        if (!root) return false;
        Text path = root->name;
        if (!sKeyName.empty()) path += u"\\" + sKeyName;
        path = platform::normaliseKeyPath(path);
        if (!platform::regKeyPathStorable(path) || !platform::regNameStorable(sValueName))
            return false;
        Status written = platform::writeTextValue(path, sValueName, sValue);
        if (written) return true;
        // A refusal is the answer the caller asked for; anything else is a
        // fault an administrator should see.
        if (written.error() != err::kPermissionDenied)
            platform::writeEventLog(u"Value \"" + sValueName + u"\" of " + path +
                                    u" not written: " +
                                    fromUtf8(platform::describeStoreFailure(written.error())));
        return false;
    }
};

std::mutex gFactoryMutex;
RegistryWriterFactory gFactory;

}  // namespace

std::unique_ptr<RegistryWriter> makeStoreRegistryWriter() {
    return std::make_unique<StoreRegistryWriter>();
}

RegistryWriterFactory defaultRegistryWriterFactory() {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    if (gFactory) return gFactory;
    return [] { return makeStoreRegistryWriter(); };
}

void setDefaultRegistryWriterFactoryForTesting(RegistryWriterFactory factory) {
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    gFactory = std::move(factory);
}

}  // namespace orv
