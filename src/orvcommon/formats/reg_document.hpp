// The settings store's document, keys and typed values read from and
// written to the text form of a registry export (".reg" files): the POSIX
// store file, and import and export on every system. Pure text handling, no
// file access.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "orvcommon/formats/reg_text.hpp"
#include "orvcommon/formats/registry_values.hpp"

namespace orv::formats {

struct RegKey {
    Text path;  // full path, root name first: HKEY_LOCAL_MACHINE\SOFTWARE\...
    std::vector<RegValue> values;
    friend bool operator==(const RegKey&, const RegKey&) = default;
    const RegValue* find(TextView name) const;
};

// Keys in the order they were first written; paths and value names compare
// without regard to case, as the registry does.
class RegistryDocument {
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

    friend bool operator==(const RegistryDocument& a, const RegistryDocument& b) {
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

using RegParseError = RegLineError;

struct RegParse {
    std::vector<RegOp> ops;
    std::vector<RegParseError> errors;
    std::vector<RegParseError> warnings;  // lines passed over on purpose
};

// Parses .reg text: UTF-16LE or UTF-8 with a byte-order mark; without one a
// REGEDIT4 file is code page 1252, any other UTF-8 when it is well-formed
// UTF-8, else code page 1252. CR LF or LF line ends. Lines that cannot be
// read are reported as errors and skipped; value lines under a deleted key
// ([-key]) are skipped with a warning, as the registry editor skips them.
RegParse parseRegText(std::string_view bytes);
void applyOps(RegistryDocument& doc, const std::vector<RegOp>& ops);
// The document the text describes. `errors` receives the lines that cannot
// be read and the lines skipped on purpose alike.
RegistryDocument documentFromText(std::string_view bytes,
                                  std::vector<RegParseError>* errors = nullptr);

// Writes the document as a version 5.00 export in UTF-8 with CR LF line
// ends, keys in tree order (case-insensitive), values in document order.
std::string writeRegText(const RegistryDocument& doc);
std::string writeRegText(const std::vector<const RegKey*>& keys);

}  // namespace orv::formats
