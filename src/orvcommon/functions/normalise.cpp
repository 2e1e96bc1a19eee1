// Funzioni: string normalisation for SQL literals, XML text, single-line
// fields and plain-character records. Each operation walks its input once,
// appends a fixed replacement for the characters of its own class, then
// trims trailing spaces; an empty outcome becomes one space.
#include <limits>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

// The input's length is taken as a 16-bit count.
constexpr size_t kMaxLength = std::numeric_limits<int16_t>::max();

// `replace(c, out)` appends the replacement of c and returns true, or returns
// false to let c through unchanged. `extra` is the most characters one input
// character may add, used for the single output reservation.
template <class Replace>
ErrInfo normalise(const char16_t* location, const Text& input, Text& output, size_t extra,
                  Replace&& replace) {
    const Trap trap{location, moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        if (input.size() > kMaxLength) raise(err::kOverflow);
        Text out;
        out.reserve(input.size() * (1 + extra));
        for (char16_t c : input)
            if (!replace(c, out)) out.push_back(c);
        size_t end = out.size();
        while (end > 0 && out[end - 1] == u' ')
            --end;
        out.resize(end);
        if (out.empty()) out = u" ";
        output = std::move(out);
        fillSuccess(result, trap, Text());
    });
}

// Code page 1252 codes that normStringOnlyAscii replaces by a space.
bool isReplacedCode(int code) {
    return (code >= 0 && code <= 7) || code == 11 || code == 12 || (code >= 14 && code <= 31) ||
           code == 127 || (code >= 128 && code <= 144) || (code >= 147 && code <= 159);
}

}  // namespace

ErrInfo Funzioni::normStringForDb(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringForDb", sStringa, sStringaOut, 1, [](char16_t c, Text& out) {
        switch (c) {
            case u'\'':
                out.append(u"''");
                return true;
            case u'`':
            case u'\r':
            case u'\n':
                out.push_back(u' ');
                return true;
            default:
                return false;
        }
    });
}

ErrInfo Funzioni::normStringNoCRLF(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringNoCRLF", sStringa, sStringaOut, 0, [](char16_t c, Text& out) {
        if (c != u'\r' && c != u'\n') return false;
        out.push_back(u' ');
        return true;
    });
}

ErrInfo Funzioni::normStringOnlyAscii(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringOnlyAscii", sStringa, sStringaOut, 0, [](char16_t c, Text& out) {
        // A character without a code page 1252 code passes through.
        const int code = c < 0x80 ? c : cp1252::fromUnicode(c);
        if (code < 0 || !isReplacedCode(code)) return false;
        out.push_back(u' ');
        return true;
    });
}

ErrInfo Funzioni::normStringOnlyApice(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringOnlyApice", sStringa, sStringaOut, 1, [](char16_t c, Text& out) {
        if (c != u'\'') return false;
        out.append(u"''");
        return true;
    });
}

ErrInfo Funzioni::normStringForXML(const Text& sStringa, Text& sStringaOut) {
    return normalise(u"normStringForXML", sStringa, sStringaOut, 4, [](char16_t c, Text& out) {
        switch (c) {
            case u'&':
                out.append(u"&amp;");
                return true;
            case u'\u00E8':
            case u'\u00E9':
                out.append(u"e`");
                return true;
            case u'\u00E0':
                out.append(u"a`");
                return true;
            case u'\u00F9':
                out.append(u"u`");
                return true;
            case u'\u00F2':
                out.append(u"o`");
                return true;
            case u'\u00EC':
                out.append(u"i`");
                return true;
            case u'<':
                out.append(u"&lt;");
                return true;
            case u'>':
                out.append(u"&gt;");
                return true;
            case u'\'':
                out.push_back(u'`');
                return true;
            default:
                return false;
        }
    });
}

ErrInfo Funzioni::normStringOnlyApiceWithNull(const Variant& vntStringa, Variant& vntStringaOut) {
    if (vntStringa.isNull() || vntStringa.isEmpty()) {
        vntStringaOut = Variant(Null{});
        return ErrInfo();
    }
    const Trap trap{u"normStringOnlyApiceWithNull", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        const Text text = toText(vntStringa);  // arrays and objects: error 13
        Text out;
        result = normStringOnlyApice(text, out);
        vntStringaOut = Variant(std::move(out));
    });
}

}  // namespace orv
