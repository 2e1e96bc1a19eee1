// The whole-file steps that FileUtility publishes and that Funzioni's PDF
// stream writes its commands and reads the document back with.
#pragma once

#include <cstdint>
#include <string>

#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::operations {

// The description of FileUtility's successful operations.
inline const Text kFileSuccessText = u"Operazione eseguita correttamente";

// The whole file's bytes; raises the run-time error of the failing step.
std::string readWholeFile(const Text& path);

// FileUtility::writeFile: writes `sTextFile` and CR LF as code page 1252
// bytes, replacing the file (an existing read-only, hidden or system file
// too), then sets the attributes `attributeFile`.
ErrInfo writeTextFile(const Text& sFileName, int32_t attributeFile, const Text& sTextFile);

// FileUtility::readBinaryFile: the whole file's bytes into `vntTextFile` as
// a byte string. Success returns the object as created (type 0).
ErrInfo readFileBytes(const Text& sFileName, Variant& vntTextFile);

}  // namespace orv::operations
