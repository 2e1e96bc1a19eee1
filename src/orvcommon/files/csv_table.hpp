// The semicolon-separated table reader behind FileUtility::getArrayFromCsvFile,
// with the block size open to tests (small blocks put line and field ends on
// every block boundary).
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/files/line_reader.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::files {

// What getArrayFromCsvFile does and returns, reading `blockSize` bytes at a
// time.
ErrInfo readCsvTable(const Text& sFileName, Array<Text>& sArrayValue, int32_t lNumRows,
                     int32_t& lNumColumns, size_t blockSize = BlockLines::kBlockSize);

}  // namespace orv::files
