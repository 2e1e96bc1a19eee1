// The CSV line split that Funzioni publishes and the CSV table reads with.
#pragma once

#include <cstdint>

#include "orvcommon/core/array.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::operations {

// Funzioni::getValueFromCsvString: splits one line at the semicolons that
// stand outside double quotes into `sArrayValue` (already dimensioned:
// fields go to 1..n and n may not exceed its upper bound) and the count into
// `lNumFieldFound`. A field enclosed in quotes loses them; "" becomes ".
// The result object, its origin and its log line are that operation's.
ErrInfo splitCsvLine(const Text& sStringValue, Array<Text>& sArrayValue, int32_t& lNumFieldFound);

}  // namespace orv::operations
