// The settings store that stands in for the registry, as key and value
// operations; how a backend keeps the settings stays inside it. On POSIX
// the store is one text file in the registry export format holding every
// root: the environment variable ORV_REGISTRY, else
// /etc/orvcommon/registry.reg.
//
// Keys are full paths, root name first (HKEY_LOCAL_MACHINE\SOFTWARE\...),
// as normaliseKeyPath spells them. Readers work on a snapshot, taken anew
// only when the store changed. Every change is made under the writers'
// lock and replaces the store whole, so a crash leaves the old or the new
// store, never a torn one.
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvcommon/base/result.hpp"
#include "orvcommon/platform/registry_values.hpp"

namespace orv::platform {

// Path of the store in force.
Text settingsStorePath();
// Overrides the store path for this process (the `--store` option of the
// command-line tool, and tests); nullopt returns to ORV_REGISTRY or the
// default.
void setSettingsStorePath(std::optional<Text> path);

// A line of stored or imported text that could not be read.
struct StoreLineError {
    size_t line;  // 1-based
    std::string message;
};

// The store as last read: shared and immutable, its contents opaque.
class StoreSnapshot;
std::shared_ptr<const StoreSnapshot> loadSettingsStore();

// ---- Reading

enum class SettingStatus { Ok, NoKey, NoValue };
struct SettingRead {
    SettingStatus status = SettingStatus::NoKey;
    uint32_t type = kRegNone;
    std::string data;
};

// Reads one value. `root` is the 32-bit root handle value.
SettingRead readSetting(uint32_t root, TextView keyPath, TextView valueName);
// The same from a snapshot already loaded (several reads, one look at the store).
SettingRead readSetting(const StoreSnapshot& snapshot, uint32_t root, TextView keyPath,
                        TextView valueName);
// Several values of one key from a snapshot, the key looked up once.
std::vector<SettingRead> readSettings(const StoreSnapshot& snapshot, uint32_t root,
                                      TextView keyPath, std::initializer_list<TextView> names);

// True when the key exists (held, or above a key that is held).
bool keyExists(const StoreSnapshot& snapshot, TextView fullPath);
// The values of a key in their stored order (none for a key without values).
std::vector<RegValue> keyValues(const StoreSnapshot& snapshot, TextView fullPath);
// The full paths of the immediate subkeys of a key, in stored order.
std::vector<Text> subkeys(const StoreSnapshot& snapshot, TextView fullPath);
// The lines of the store that could not be read (and are ignored).
const std::vector<StoreLineError>& unreadLines(const StoreSnapshot& snapshot);

// ---- Changing

enum class StoreWrite {
    Ok,
    Refused,     // no permission to write the store (or its folder)
    Unreadable,  // the store has lines that cannot be read: not overwritten
    Failed,      // any other failure (disk full, I/O error)
};
struct StoreWriteResult {
    StoreWrite status = StoreWrite::Failed;
    std::string message;  // what went wrong, naming the file or the line
    bool ok() const { return status == StoreWrite::Ok; }
};

// Writes one value (any type), creating its key when missing.
StoreWriteResult writeValue(TextView fullPath, const RegValue& value);
// Writes a text (REG_SZ) or a double-word (REG_DWORD) value.
StoreWriteResult writeTextValue(TextView fullPath, TextView name, TextView text);
StoreWriteResult writeDwordValue(TextView fullPath, TextView name, uint32_t value);
// Creates a key (and the keys above it).
StoreWriteResult createKey(TextView fullPath);
// Deletes one value, every value of a key, or a key with everything below
// it. Deleting what is not there changes nothing and is Ok.
StoreWriteResult deleteValue(TextView fullPath, TextView name);
StoreWriteResult deleteValues(TextView fullPath);
StoreWriteResult deleteKey(TextView fullPath);

// Writes one value under a root handle and key path; false when the key or
// the name cannot be stored or the write failed.
bool writeSetting(uint32_t root, TextView keyPath, const RegValue& value);

// ---- Import and export, in the registry export text format

// The key and everything below it as export text.
std::string exportKey(const StoreSnapshot& snapshot, TextView fullPath);
// Applies export text to the store. Text with lines that cannot be read
// changes nothing: they are listed in `errors` and the result is Failed.
StoreWriteResult importText(std::string_view text, std::vector<StoreLineError>* errors);

}  // namespace orv::platform
