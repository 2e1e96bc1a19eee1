// What every settings-store backend shares: what can be stored, the typed
// writes over writeValue, failures in words.
#include "orvcommon/platform/settings.hpp"

#include "orvcommon/base/errors.hpp"

namespace orv::platform {

bool storable(TextView keyPath, TextView name) {
    return regKeyPathStorable(keyPath) && regNameStorable(name);
}

Status writeTextValue(TextView keyPath, TextView name, TextView text) {
    return writeValue(keyPath, RegValue{Text(name), kRegSz, regStringData(text)});
}

Status writeDwordValue(TextView keyPath, TextView name, uint32_t value) {
    return writeValue(keyPath, RegValue{Text(name), kRegDword, regDwordData(value)});
}

std::string describeStoreFailure(int32_t error) {
    std::string out = toUtf8(standardMessage(error)) + " (" + std::to_string(error) + ") in " +
                      toUtf8(settingsStorePath());
    if (error == err::kPathFileAccess) {
        auto lines = unreadableLines();
        if (lines && !lines->empty())
            out += ", line " + std::to_string(lines->front().line) + ": " + lines->front().message +
                   "; the store is left unchanged";
    }
    return out;
}

}  // namespace orv::platform
