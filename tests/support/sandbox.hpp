// Test support: a temporary folder holding a private settings store and the
// main log, a fixed clock, and small file helpers. On Windows the settings
// store is the registry itself (the tests run in a private Wine prefix): the
// sandbox removes the keys the suite writes instead of moving the store.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "support/environment.hpp"
#include "support/system_call.hpp"

namespace orv::test {

class Sandbox {
  public:
    // `logHere`: point the main log folder ("Path") at the sandbox.
    explicit Sandbox(bool logHere = true) {
        dir_ = makeTempFolder("orvtest-");
        store_ = dir_ + "/registry.reg";
        previousStore_ = current();
        current() = fromUtf8(store_);
        storeCall_.emplace("settingsstore", [] { return current(); });
        // The tools a test runs find the store through the environment.
        setEnv("ORV_REGISTRY", store_);
        platform::setSettingsStorePath(std::nullopt);
        clearRegistryKeys();
        if (logHere) setText(u"SOFTWARE\\VELN\\LogSystem", u"Path", fromUtf8(dir_));
    }
    ~Sandbox() {
        storeCall_.reset();
        current() = previousStore_;
        unsetEnv("ORV_REGISTRY");
        clearRegistryKeys();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& dir() const { return dir_; }
    const std::string& store() const { return store_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    Text textPath(const std::string& name) const { return fromUtf8(path(name)); }
    std::string mainLog() const { return path("orvmira.log"); }
    size_t logLines() const;

    static void setText(TextView key, TextView name, TextView value,
                        uint32_t root = kHkeyLocalMachine) {
        (void)platform::writeValue(platform::fullKeyPath(root, key),
                                   {Text(name), platform::kRegSz, platform::regStringData(value)});
    }
    static void setDword(TextView key, TextView name, uint32_t value,
                         uint32_t root = kHkeyLocalMachine) {
        (void)platform::writeValue(
            platform::fullKeyPath(root, key),
            {Text(name), platform::kRegDword, platform::regDwordData(value)});
    }

  private:
    // The keys below HKEY_LOCAL_MACHINE\SOFTWARE that the suite writes.
    static void clearRegistryKeys() {
#ifdef _WIN32
        for (const char16_t* key : {u"VELN", u"VELN2", u"App", u"Sales", u"New App", u"Unknown",
                                    u"NoSuchApp", u"Fault", u"Race", u"Vendite ", u"a"})
            (void)platform::deleteKey(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\" + Text(key));
#endif
    }
    // The store of the innermost sandbox.
    static Text& current() {
        static Text store;
        return store;
    }

    std::string dir_;
    std::string store_;
    Text previousStore_;
    std::optional<ReplacedCall> storeCall_;
    ReplacedCall clock_{"clock", [] { return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0}; }};
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Lines of a file split at CR LF (the log's line end).
inline std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < bytes.size(); start = end + 2) {
        end = std::min(bytes.find("\r\n", start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
}

inline size_t Sandbox::logLines() const {
    return crlfLines(readBytes(mainLog())).size();
}

// The result object of a success that reports nothing.
inline ErrInfo cleared() {
    ErrInfo e;
    e.clear();
    return e;
}

inline bool exists(const std::string& p) {
    return std::filesystem::exists(p);
}

}  // namespace orv::test
