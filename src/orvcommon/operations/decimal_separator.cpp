#include "orvcommon/operations/decimal_separator.hpp"

#include "orvcommon/core/convert.hpp"

namespace orv::operations {
namespace {
thread_local char16_t tDecimalSeparator = u'.';
}  // namespace

void readDecimalSeparator() {
    const Text t = numberText(1.1);
    tDecimalSeparator = t.size() > 1 ? t[1] : u'.';
}

char16_t decimalSeparatorAsRead() {
    return tDecimalSeparator;
}

}  // namespace orv::operations
