// Funzioni: string normalisation for SQL literals, XML text, single-line
// fields and plain-character records. Each operation walks its input once,
// appends a fixed replacement for the characters of its own class, then
// trims trailing spaces; an empty outcome becomes one space (the walk is
// operations/text_cleaning.hpp, which the record reader shares).
#include "orvcommon/core/convert.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/operations/text_cleaning.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {

using operations::normalise;

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
    return operations::cleanOnlyAscii(sStringa, sStringaOut);
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
