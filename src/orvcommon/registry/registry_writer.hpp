// The registry writer: the one component through which RegistryUtility
// stores values. Its surface is deliberately narrow (set a text value under
// a root, key and value name; Boolean result), so that tests can put a
// writer of their own in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "orvcommon/base/text.hpp"

namespace orv {

class RegistryWriter {
  public:
    virtual ~RegistryWriter() = default;
    // Stores `sValue` as a text value named `sValueName` under the key
    // `sKeyName` of the root `lRoot` (a 32-bit root handle value), creating
    // the key when it is missing. True when the value was stored.
    virtual bool setStringValue(int32_t lRoot, const Text& sKeyName, const Text& sValueName,
                                const Text& sValue) = 0;
};

// Creates a writer; raises a run-time error when none can be created.
using RegistryWriterFactory = std::function<std::unique_ptr<RegistryWriter>()>;

// The writer over the settings store. A write the process may not make (no
// permission on the store or its folder, read-only file system) answers
// false, and so does a write to a store holding lines that cannot be read:
// such a store is left as it is and the reason goes to the event log.
std::unique_ptr<RegistryWriter> makeStoreRegistryWriter();

// The factory RegistryUtility uses when none is given: the store writer,
// unless tests replaced it (nullptr restores the store writer).
RegistryWriterFactory defaultRegistryWriterFactory();
void setDefaultRegistryWriterFactoryForTesting(RegistryWriterFactory factory);

// Run-time error raised when no registry writer can be created.
inline constexpr int32_t kCannotCreateObject = 429;

}  // namespace orv
