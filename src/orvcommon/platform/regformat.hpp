// The settings-store document: keys and typed values, read from and written
// to the text form of a registry export (".reg" files). Pure text handling,
// no file access: the store (settings.hpp) and the `orv reg` tool share it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvcommon/base/text.hpp"

namespace orv::platform {

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
// Text of REG_SZ-like data up to the first NUL character.
Text regDataText(std::string_view data);
std::vector<Text> regDataMultiText(std::string_view data);

struct RegKey {
    Text path;  // full path, root name first: HKEY_LOCAL_MACHINE\SOFTWARE\...
    std::vector<RegValue> values;
    friend bool operator==(const RegKey&, const RegKey&) = default;
    const RegValue* find(TextView name) const;
};

// Keys in the order they were first written; paths and value names compare
// without regard to case, as the registry does.
class RegDocument {
  public:
    const std::vector<RegKey>& keys() const { return keys_; }
    const RegKey* find(TextView path) const;
    // True when the key is listed or is an ancestor of a listed key.
    bool keyExists(TextView path) const;
    RegKey& ensure(TextView path);
    void setValue(TextView path, RegValue v);
    bool deleteValue(TextView path, TextView name);
    // Removes the key and everything below it; false when nothing matched.
    bool deleteKey(TextView path);
    // The key and the keys below it, in document order (an export of it).
    std::vector<const RegKey*> subtree(TextView path) const;

    friend bool operator==(const RegDocument& a, const RegDocument& b) {
        return a.keys_ == b.keys_;
    }

  private:
    void reindex();
    std::vector<RegKey> keys_;
    std::unordered_map<Text, size_t> index_;  // upper-case path -> position
};

// One change read from a .reg text, applied in order.
struct RegOp {
    enum Kind { EnsureKey, DeleteKey, SetValue, DeleteValue } kind;
    Text path;
    RegValue value;  // SetValue; DeleteValue uses value.name
};

struct RegParseError {
    size_t line;  // 1-based
    std::string message;
};

struct RegParse {
    std::vector<RegOp> ops;
    std::vector<RegParseError> errors;
};

// Parses .reg text: UTF-16LE with a byte-order mark (what Windows exports),
// else UTF-8 (with or without a byte-order mark); CR LF or LF line ends.
// Lines that cannot be read are reported and skipped.
RegParse parseRegText(std::string_view bytes);
void applyOps(RegDocument& doc, const std::vector<RegOp>& ops);
RegDocument documentFromText(std::string_view bytes, std::vector<RegParseError>* errors = nullptr);

// Writes the document as a version 5.00 export in UTF-8 with CR LF line
// ends, keys in tree order (case-insensitive), values in document order.
std::string writeRegText(const RegDocument& doc);
std::string writeRegText(const std::vector<const RegKey*>& keys);

// True when a key name or value name can be written to a .reg text and read
// back: no NUL, CR or LF (the format has no escape for them).
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

}  // namespace orv::platform
