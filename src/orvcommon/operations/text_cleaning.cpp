#include "orvcommon/operations/text_cleaning.hpp"

#include "orvcommon/base/cp1252.hpp"

namespace orv::operations {
namespace {

// Code page 1252 codes that normStringOnlyAscii replaces by a space.
bool isReplacedCode(int code) {
    return (code >= 0 && code <= 7) || code == 11 || code == 12 || (code >= 14 && code <= 31) ||
           code == 127 || (code >= 128 && code <= 144) || (code >= 147 && code <= 159);
}

}  // namespace

ErrInfo cleanOnlyAscii(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringOnlyAscii", sStringa, sStringaOut, 0, [](char16_t c, Text& out) {
        // A character without a code page 1252 code passes through.
        const int code = c < 0x80 ? c : cp1252::fromUnicode(c);
        if (code < 0 || !isReplacedCode(code)) return false;
        out.push_back(u' ');
        return true;
    });
}

}  // namespace orv::operations
