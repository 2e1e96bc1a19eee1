// The settings store that stands in for the registry: one text file in the
// registry export format holding every root. Path: the environment variable
// ORV_REGISTRY, else /etc/orvcommon/registry.reg.
//
// Readers re-parse the file only when its identity, size or modification
// time changed. Writers take an exclusive lock (a ".lock" file beside the
// store), read the current file, apply their change, write a temporary file
// beside it, flush it and rename it over the old one, so a crash leaves the
// old or the new file, never a torn one.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvcommon/platform/regformat.hpp"

namespace orv::platform {

// Path of the store file in force.
Text settingsStorePath();
// Overrides the store path for this process (the `--store` option of the
// command-line tool); nullopt returns to ORV_REGISTRY or the default.
void setSettingsStorePath(std::optional<Text> path);

enum class SettingStatus { Ok, NoKey, NoValue };
struct SettingRead {
    SettingStatus status = SettingStatus::NoKey;
    uint32_t type = kRegNone;
    std::string data;
};

// The whole store as last parsed (shared, immutable), with the lines that
// could not be read.
struct StoreSnapshot {
    RegDocument doc;
    std::vector<RegParseError> errors;
    bool exists = false;
};
std::shared_ptr<const StoreSnapshot> loadSettingsStore();

// Reads one value. `root` is the 32-bit root handle value.
SettingRead readSetting(uint32_t root, TextView keyPath, TextView valueName);
// The same from a snapshot already loaded (several reads, one file check).
SettingRead readSetting(const StoreSnapshot& snapshot, uint32_t root, TextView keyPath,
                        TextView valueName);
// Several values of one key from a snapshot, the key looked up once.
std::vector<SettingRead> readSettings(const StoreSnapshot& snapshot, uint32_t root,
                                      TextView keyPath, std::initializer_list<TextView> names);

enum class StoreWrite {
    Ok,
    Refused,     // no permission to write the store (or its folder)
    Unreadable,  // the store file has lines that cannot be read: not overwritten
    Failed,      // any other failure (disk full, I/O error)
};
struct StoreWriteResult {
    StoreWrite status = StoreWrite::Failed;
    std::string message;  // what went wrong, naming the file or the line
};

// Applies `change` to the current store under the writers' lock and writes
// the result. `change` returns false to abandon the write (nothing changes).
StoreWriteResult modifySettingsStore(const std::function<bool(RegDocument&)>& change);

// Writes one value, creating its key when missing.
bool writeSetting(uint32_t root, TextView keyPath, const RegValue& value);

}  // namespace orv::platform
