// Funzioni: dates, Booleans and numbers as the SQL fragments of the three
// database engines.
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"
#include "orvcommon/results/enums.hpp"

namespace orv {
namespace {
using funzioni_detail::mid;

bool isListedEngine(int32_t engine) {
    return engine == dbengineORACLE || engine == dbengineMSACCESS || engine == dbengineSQLSERVER;
}

// The engine's way of writing an absent value (listed engines only).
Variant absentValue(int32_t engine) {
    return Variant(Text(engine == dbengineORACLE ? u"''" : u"Null"));
}

int16_t piece(TextView t, size_t start, size_t count) {
    return toInt16(Variant(Text(mid(t, start, count))));
}

}  // namespace

Variant Funzioni::getDataForDB(int32_t lEngine, const Variant& sDateYYYYMMDDHHMMSS) {
    if (!isListedEngine(lEngine)) return Variant();
    if (sDateYYYYMMDDHHMMSS.isEmpty()) return absentValue(lEngine);
    const Text t = toText(sDateYYYYMMDDHHMMSS);  // Null: error 94
    if (!isDateYYYYMMDDHH24MISS(t)) return absentValue(lEngine);
    const TextView y = mid(t, 1, 4), mo = mid(t, 5, 2), d = mid(t, 7, 2);
    const Text time = Text(mid(t, 9, 2)) + u":" + Text(mid(t, 11, 2)) + u":" + Text(mid(t, 13, 2));
    switch (lEngine) {
        case dbengineORACLE:
            return Variant(u"to_date('" + t + u"','YYYYMMDDHH24MISS')");
        case dbengineMSACCESS:
            return Variant(u"#" + Text(mo) + u"/" + Text(d) + u"/" + Text(y) + u" " + time + u"#");
        default: {
            // The date goes through the regional short-date format, so the
            // literal follows the settings of the machine that runs the code.
            const double date =
                dateFromPartsOrRaise(piece(t, 1, 4), piece(t, 5, 2), piece(t, 7, 2));
            return Variant(u"'" + formatDate(date, u"Short Date") + u" " + time + u"'");
        }
    }
}

int16_t Funzioni::getBoolForDB(int32_t lEngine) {
    switch (lEngine) {
        case dbengineORACLE:
        case dbengineSQLSERVER:
            return -1;
        case dbengineMSACCESS:
            return 1;
        default:
            return 0;
    }
}

Variant Funzioni::getBoolForDBx(int32_t lEngine, Variant& vntBool) {
    if (!isListedEngine(lEngine)) return Variant();
    if (!isNumeric(vntBool)) return absentValue(lEngine);
    const int32_t value = int32_t{toInt16(vntBool)} * getBoolForDB(lEngine);
    if (value > INT16_MAX) raise(err::kOverflow);  // -32768 negated
    return Variant(static_cast<int16_t>(value));
}

Variant Funzioni::getNumberForDB(int32_t lEngine, Variant& vntValue) {
    if (!isListedEngine(lEngine)) return Variant();
    if (!isNumeric(vntValue)) return absentValue(lEngine);
    if (vntValue.is<float>() || vntValue.is<double>()) {
        Text t = vntValue.is<float>() ? singleText(vntValue.get<float>())
                                      : numberText(vntValue.get<double>());
        for (auto& c : t)
            if (c == u',') c = u'.';
        vntValue = Variant(t);
        return Variant(std::move(t));
    }
    if (vntValue.is<Decimal>()) return Variant(toInt16(vntValue));
    return Variant(toInt32(vntValue));
}

}  // namespace orv
