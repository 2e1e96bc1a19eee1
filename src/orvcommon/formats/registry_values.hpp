// Registry values as every settings store holds them: the value types, the
// byte layout of their data, the root keys and the spelling of key paths.
// Pure text handling, no access to the store.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orvcommon/base/text.hpp"

namespace orv::formats {

// Registry value types.
enum : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// A value as the registry holds it: texts as UTF-16LE bytes with their
// terminating NULs, a DWORD as four little-endian bytes, binary as is.
struct RegValue {
    Text name;  // "" is the key's default value
    uint32_t type = kRegSz;
    std::string data;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// Helpers to build and read value data.
std::string regStringData(TextView text);                  // REG_SZ / REG_EXPAND_SZ
std::string regMultiStringData(const std::vector<Text>&);  // REG_MULTI_SZ
std::string regDwordData(uint32_t v);
// All of the data read as UTF-16LE text, NULs included.
Text regDataUtf16(std::string_view data);
// Text of REG_SZ-like data up to the first NUL character.
Text regDataText(std::string_view data);
std::vector<Text> regDataMultiText(std::string_view data);

// True when a key name or value name can be written to a .reg text and read
// back: no NUL, CR or LF (the store's text form has no escape for them).
bool regNameStorable(TextView name);
// True for a full key path (as normaliseKeyPath gives it) that the store can
// hold: a known root, no empty key name, every name storable.
bool regKeyPathStorable(TextView fullPath);

// Registry roots: 32-bit handle values, full names and short forms.
struct RegRoot {
    uint32_t handle;
    const char16_t* name;
    const char16_t* shortName;
};
const std::vector<RegRoot>& regRoots();
const RegRoot* rootByHandle(uint32_t handle);
const RegRoot* rootByName(TextView nameOrShort);
// "HKLM\Software\x" or "HKEY_LOCAL_MACHINE\Software\x" -> full spelling;
// empty text when the root is unknown. Trailing backslashes are dropped.
Text normaliseKeyPath(TextView path);
// The full path of `subkey` under a root handle ("" is the root itself),
// trailing backslashes dropped; empty text when the root is unknown.
Text fullKeyPath(uint32_t root, TextView subkey);

}  // namespace orv::formats
