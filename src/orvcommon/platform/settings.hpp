// The settings store that stands in for the registry, as key and value
// operations with the same signatures on every backend. How a backend keeps
// the settings stays inside it: on POSIX the store is one text file in the
// registry export format holding every root (ORV_REGISTRY, else
// /etc/orvcommon/registry.reg); on Windows it is the registry itself.
//
// Keys are full paths, root name first (HKEY_LOCAL_MACHINE\SOFTWARE\...), as
// normaliseKeyPath spells them; names compare without regard to case. Every
// call looks at the store as it is now: a change made by any process is seen
// by the next call. Every change is made whole: a crash leaves the old or
// the new store, never a torn one.
//
// Every call answers in the one Result/Status shape. The failures:
//   5   a key path or value name the store cannot hold (unknown root, empty
//       key name, NUL, CR or LF in a name); nothing is touched
//   75  a change to a store that holds text which cannot be read as settings
//       (a file edited by hand): the store is left as it is; reads skip the
//       lines they cannot read and unreadableLines names them
//   any other: the system's failure as the file services map it (75 or 70
//       the process may not, 61 disk full, 57 I/O error, 67 too many files)
// describeStoreFailure turns any of them into a sentence for people.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvcommon/base/result.hpp"
#include "orvcommon/formats/reg_text.hpp"
#include "orvcommon/formats/registry_values.hpp"

namespace orv::platform {

// The store speaks in the registry's own values, types and key spellings,
// which the text format below the platform layer defines.
using formats::fullKeyPath;
using formats::kRegBinary;
using formats::kRegDword;
using formats::kRegExpandSz;
using formats::kRegMultiSz;
using formats::kRegNone;
using formats::kRegQword;
using formats::kRegSz;
using formats::normaliseKeyPath;
using formats::regDataMultiText;
using formats::regDataText;
using formats::regDataUtf16;
using formats::regDwordData;
using formats::regKeyPathStorable;
using formats::regMultiStringData;
using formats::regNameStorable;
using formats::RegRoot;
using formats::regRoots;
using formats::regStringData;
using formats::RegValue;
using formats::rootByHandle;
using formats::rootByName;

// The store in force, as people name it (the file path on POSIX).
Text settingsStorePath();
// Chooses the store for this process (the `--store` option of the command-
// line tool); nullopt returns to the default.
//
// A store named by ORV_REGISTRY or chosen here is a per-user store: a store
// file the library creates there is its owner's alone (0600). The machine's
// default store is read by every local user (0644 when the library creates
// it), as the machine's registry is. A store that exists keeps the rights
// its administrator gave it.
void setSettingsStorePath(std::optional<Text> path);

// ---- Reading
//
// A value or key that is not there is an ordinary answer, not a failure:
// readers fall back to defaults, and keeping it out of the error number
// leaves that number for "could not look" alone. So a read of one value is
// Result<std::optional<RegValue>>: a failure, nothing, or the value.

// One value (its name as stored, type and bytes); nullopt when the key or
// the value is missing.
Result<std::optional<RegValue>> readValue(TextView keyPath, TextView name);
// Several values of one key, in the order asked, from one look at the store.
Result<std::vector<std::optional<RegValue>>> readValues(TextView keyPath,
                                                        std::initializer_list<TextView> names);
// True when the key exists (held, or above a key that is held).
Result<bool> keyExists(TextView keyPath);
// The values of a key in their stored order; none for a missing key.
Result<std::vector<RegValue>> keyValues(TextView keyPath);
// The full paths of the immediate subkeys of a key in stored order; none for
// a missing key.
Result<std::vector<Text>> subkeys(TextView keyPath);

// ---- Changing: each creates the missing keys above what it writes.

// Writes one value of any type.
Status writeValue(TextView keyPath, const RegValue& value);
// Writes a text (REG_SZ) or a double-word (REG_DWORD) value.
Status writeTextValue(TextView keyPath, TextView name, TextView text);
Status writeDwordValue(TextView keyPath, TextView name, uint32_t value);
// True when the store can keep a value `name` under the full key path
// `keyPath` (every backend refuses the others with 5 before it writes).
bool storable(TextView keyPath, TextView name = {});
// Creates a key.
Status createKey(TextView keyPath);
// Deletes one value, every value of a key, or a key with everything below
// it. Deleting what is not there changes nothing and succeeds.
Status deleteValue(TextView keyPath, TextView name);
Status deleteValues(TextView keyPath);
Status deleteKey(TextView keyPath);

// ---- Import and export, in the registry export text format

// A line of imported or stored text that could not be read.
using StoreLineError = formats::RegLineError;

// The key and everything below it as export text (only the header for a
// missing key).
Result<std::string> exportKey(TextView keyPath);
// Applies export text to the store as one change. Text with lines that
// cannot be read changes nothing: they are listed in `errors` and the
// answer is 5.
Status importText(std::string_view text, std::vector<StoreLineError>* errors);
// The lines of the store that cannot be read (reads skip them, changes are
// refused with 75). A backend that keeps no text has none.
Result<std::vector<StoreLineError>> unreadableLines();

// A failure of the calls above in words: the standard message, the store,
// and for a store that cannot be read its first such line.
std::string describeStoreFailure(int32_t error);

}  // namespace orv::platform
