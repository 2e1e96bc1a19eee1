// What every settings-store backend shares: failures in words.
#include "orvcommon/platform/settings.hpp"

#include "orvcommon/base/errors.hpp"

namespace orv::platform {

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
