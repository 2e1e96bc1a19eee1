// Helpers shared by the topic units of Funzioni (not part of its surface).
#pragma once

#include <functional>

#include "orvcommon/base/text.hpp"

namespace orv::funzioni_detail {

// Characters `start` (1-based) to start + count - 1 of `s`, cut short at the
// end of the text (the automation Mid function).
TextView mid(TextView s, size_t start, size_t count);

// Runs a validator body; any failure it throws makes the answer false and
// its description goes to the host's event log.
bool guardValidator(const std::function<bool()>& body);

// The compact date "YYYYMMDD" of an OLE date, the year zero-padded to four
// digits.
Text compactDate(double ole);

// The temporary-file suffix of createPdfStream for a random number in
// [0, 1): ".7055", ".5", ".03", "0" or "1".
Text pdfSuffix(float random);

}  // namespace orv::funzioni_detail
