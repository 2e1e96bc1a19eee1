// Fuzz support: a private settings store and log folder, and a fixed clock so
// that two readers' log lines never differ because a minute went by.
#pragma once

#include <stdlib.h>

#include <string>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/system_calls.hpp"

namespace orv::fuzz {

class QuietLog {
  public:
    QuietLog() {
        std::string tmpl = toUtf8(platform::tempFolder()) + "orvfuzz-XXXXXX";
        if (!mkdtemp(tmpl.data())) abort();
        dir_ = fromUtf8(tmpl) + u"/";
        platform::setSystemCall("clock", reinterpret_cast<platform::SystemCall>(+[] {
                                    return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0};
                                }));
        store() = fromUtf8(tmpl + "/registry.reg");
        platform::setSystemCall("settingsstore",
                                reinterpret_cast<platform::SystemCall>(+[] { return store(); }));
        (void)platform::writeValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
                                   {u"Path", platform::kRegSz, platform::regStringData(dir_)});
        // Rotate the main log early so a long run keeps it small.
        (void)platform::writeValue(
            u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
            {u"SwitchDimension", platform::kRegSz, platform::regStringData(u"65536")});
    }
    const Text& folder() const { return dir_; }

  private:
    static Text& store() {
        static Text path;
        return path;
    }
    Text dir_;
};

}  // namespace orv::fuzz
