#include "orvcommon/functions/funzioni.hpp"

#include "orvcommon/core/convert.hpp"

namespace orv {
namespace {
// Module-level value, once per client thread (apartment).
thread_local char16_t tDecimalSeparator = u'.';
}  // namespace

Funzioni::Funzioni() {
    const Text t = numberText(1.1);
    tDecimalSeparator = t.size() > 1 ? t[1] : u'.';
}

char16_t Funzioni::regionalDecimalSeparator() {
    return tDecimalSeparator;
}

}  // namespace orv
