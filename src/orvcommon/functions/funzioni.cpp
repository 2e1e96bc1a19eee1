#include "orvcommon/functions/funzioni.hpp"

#include "orvcommon/operations/decimal_separator.hpp"

namespace orv {

Funzioni::Funzioni() {
    operations::readDecimalSeparator();
}

char16_t Funzioni::regionalDecimalSeparator() {
    return operations::decimalSeparatorAsRead();
}

}  // namespace orv
