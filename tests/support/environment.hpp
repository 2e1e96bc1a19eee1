// Test support: environment variables and temporary folders, the same calls
// on every system.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace orv::test {

inline void setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Windows has no unset: an empty value removes the variable there.
inline void unsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

// True inside Wine (which passes the Linux side's variables through).
inline bool underWine() {
    return std::getenv("WINEPREFIX") != nullptr || std::getenv("WINELOADER") != nullptr;
}

// A new, empty folder in the system's temporary folder: `prefix` and 16
// random hexadecimal digits.
inline std::string makeTempFolder(const std::string& prefix) {
    static std::mt19937_64 random{std::random_device{}()};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        char suffix[20];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        const auto folder = base / (prefix + suffix);
        std::error_code ec;
        if (std::filesystem::create_directory(folder, ec)) return folder.string();
        if (ec) throw std::filesystem::filesystem_error("cannot make a test folder", folder, ec);
    }
}

// Sets (or with nullptr removes) an environment variable for the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) {
        if (value) {
            setEnv(name_.c_str(), value);
        } else {
            unsetEnv(name_.c_str());
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace orv::test
