// A registry value as text: the one rule by which the library reads a
// setting it shows or uses as text. Its users are the log (results/, which
// reads its settings on every writeLog) and RegistryUtility (registry/); it
// sits below both, in core/, because it reads the settings store through
// platform/. Not to be confused with formats/registry_values.hpp, the byte
// layout of values as every store holds them, which this rule reads.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "orvcommon/base/text.hpp"
#include "orvcommon/formats/registry_values.hpp"

namespace orv {

// Root handle values.
inline constexpr uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr uint32_t kHkeyUsers = 0x80000003u;
inline constexpr uint32_t kHkeyCurrentConfig = 0x80000005u;

struct RegistryText {
    bool read = false;  // false when the key could not be opened or the query failed
    Text text;
};

// Opens the key, queries the value into 1024 bytes and converts it by type:
// REG_SZ and REG_EXPAND_SZ give the text up to the first NUL as 8-bit
// code-page text (references not expanded); REG_DWORD gives "&h" and the
// upper-case hexadecimal digits without leading zeros; other types give "".
// A value whose data do not fit in 1024 bytes fails the query.
RegistryText readRegistryText(uint32_t root, TextView keyPath, TextView valueName);

// The same rule applied to a value already read (nullopt: not there).
RegistryText registryTextOf(const std::optional<formats::RegValue>& value);

// Reads several values of one key with a single look at the store (the log
// settings are read on every writeLog). Each value follows the same rule.
std::vector<RegistryText> readRegistryTexts(uint32_t root, TextView keyPath,
                                            std::initializer_list<TextView> valueNames);

}  // namespace orv
