// Funzioni: a fixed shift of character codes that makes short texts
// unreadable at a glance. Not cryptography: no key, same input same output.
#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

// Shifts the code page 1252 code of every character by `shift`; error 6 for
// a text longer than a 16-bit count, error 5 when a code leaves 0-255.
Text shiftCodes(const Text& input, int shift) {
    if (input.size() > static_cast<size_t>(INT16_MAX)) raise(err::kOverflow);
    Text out;
    out.reserve(input.size());
    for (char16_t ch : input) {
        int code = cp1252::fromUnicode(ch);
        if (code < 0) code = '?';  // no code page 1252 code: written as "?"
        const int shifted = code + shift;
        if (shifted < 0 || shifted > 255) raise(err::kInvalidArgument);
        out.push_back(cp1252::toUnicode(static_cast<uint8_t>(shifted)));
    }
    return out;
}

ErrInfo scramble(const Text& input, Text& output, int shift, const char16_t* location) {
    const Trap trap{location, moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        Text shifted = shiftCodes(input, shift);
        output = std::move(shifted);  // written only once the whole text succeeded
        fillSuccess(result, trap, Text());
    });
}

}  // namespace

ErrInfo Funzioni::simpleEncrypt(const Text& sToEncrypt, Text& sEncrypted) {
    return scramble(sToEncrypt, sEncrypted, kScrambleShift, u"simpleEncrypt");
}

ErrInfo Funzioni::simpleDecrypt(const Text& sToDecrypt, Text& sDecrypted) {
    return scramble(sToDecrypt, sDecrypted, -kScrambleShift, u"simpleDecrypt");
}

}  // namespace orv
