// RegistryUtility: single registry values read as text, the database
// connection settings of each client application, and the probe that tells
// whether the caller may write the machine-wide settings.
#pragma once

#include <cstdint>

#include "orvcommon/base/text.hpp"
#include "orvcommon/registry/registry_writer.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class RegistryUtility {
  public:
    // Writes through the default registry writer.
    RegistryUtility();
    // Writes through writers made by `writerFactory` (tests).
    explicit RegistryUtility(RegistryWriterFactory writerFactory);

    // Operations in interface order.

    // 1. The value `SubKeyRef` of the key `KeyName` under the root `KeyRoot`
    // (a 32-bit root handle value) read as text; "" and one error line in the
    // main log when the key or value cannot be read. The arguments are
    // passed by reference and left unchanged.
    Text getKeyValue(int32_t& KeyRoot, Text& KeyName, Text& SubKeyRef);
    // 2. Reads the connection settings of an application; missing values
    // come back empty (and are logged by getKeyValue).
    ErrInfo getInfoForConnection(const Text& sApplicationName, Text& sConnectionDbName,
                                 Text& sConnectionUser, Text& sConnectionPassword);
    // 3. Saves the connection settings of an application without trailing
    // spaces, stopping at the first refused write.
    ErrInfo saveInfoForConnection(const Text& sApplicationName, const Text& sConnectionDbName,
                                  const Text& sConnectionUser, const Text& sConnectionPassword);
    // 4. True when the probe value could be written to the machine-wide
    // settings; never fails.
    bool isRegistryInWritePermission();

  private:
    RegistryWriterFactory writerFactory_;
};

// The key holding the connection settings of an application.
Text connectionKeyName(const Text& sApplicationName);

}  // namespace orv
