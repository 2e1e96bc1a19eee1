// The text readers of the numbers, dates, XML values and CSV lines on
// arbitrary text (the first byte chooses the regional preset and the CSV
// array's upper bound, the rest is UTF-8): only run-time errors escape, and
// the answers agree with each other.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "fuzz_support.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/functions/funzioni.hpp"

namespace {

using namespace orv;

template <class F>
void mayFail(F call) {
    try {
        call();
    } catch (const RuntimeError&) {
    }
}

void numbers(const Text& t) {
    const Variant v(t);
    const bool numeric = isNumeric(v);
    if (numeric != isNumericText(t)) std::abort();
    if (numeric && !std::isfinite(toDouble(v))) std::abort();
    if (!numeric) {
        try {
            toDouble(v);
            std::abort();  // a text that is not a number must not convert
        } catch (const RuntimeError&) {
        }
    }
    mayFail([&] { (void)toInt16(v); });
    mayFail([&] { (void)toInt32(v); });
}

void dates(const Text& t) {
    const auto date = parseDateText(t);
    if (date && !isValidOleDate(*date)) std::abort();
    if (date) formatDate(*date, u"General Date");
    mayFail([&] { toDate(Variant(t)); });
}

void compactDates(Funzioni& f, const Text& t) {
    const bool date = f.isDateYYYYMMDD(t);
    if ((date && t.size() != 8) || (f.isTimeHH24MISS(t) && t.size() != 6) ||
        (f.isDateYYYYMMDDHH24MISS(t) && t.size() != 14))
        std::abort();
    Text year = t;
    if (f.isYYYYBisestile(year) && t.size() != 4) std::abort();
    if (year != t) std::abort();
    const int16_t day = f.getDayNumberFromYYYYMMDD(t);
    if (day < 0 || day > 7 || (date && day == 0)) std::abort();  // a valid date has a day
    f.isDateYYYYMMDDefault(t);
    f.isDateYYYYMMDDefaultSpaces(t);
}

void xml(Funzioni& f, const Text& t) {
    const Variant v(t);
    mayFail([&] { f.getNumberFromXml(v); });
    mayFail([&] { f.getNumber2Xml(v); });
    // The work fails exactly when the duration does, and differs by its factor alone.
    try {
        const double duration = f.getDurFromXml(v), work = f.getWorkFromXml(v);
        if (std::isfinite(duration) &&
            std::fabs(work - duration * 100) > 1e-9 * std::fabs(work) + 1e-9)
            std::abort();
    } catch (const RuntimeError&) {
    }
    // A date read is a valid compact date-time that goes to XML and back to itself.
    const Variant compact = f.getDateFromXml(t);
    if (compact.isEmpty()) return;
    if (!compact.isString() || !f.isDateYYYYMMDDHH24MISS(*compact.text())) std::abort();
    const Text back = f.getDate2Xml(*compact.text());
    if (back.size() != 19 || !(f.getDateFromXml(back) == compact)) std::abort();
}

// The CSV line splitter: on success the fields hold no more text than the line.
void csvLine(Funzioni& f, const Text& line, int32_t upper) {
    Array<Text> fields;
    if (upper >= -1) fields.redim({0, upper});
    int32_t found = -1;
    const bool ok = f.getValueFromCsvString(line, fields, found).isSuccess();
    if (found < 0 || (upper >= 0 && found > upper)) std::abort();
    size_t total = 0;
    for (int32_t i = 1; ok && i <= found; ++i)
        total += fields.at(i).size();
    if (total > line.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::QuietLog quiet;  // the CSV splitter logs its failures
    if (size == 0) return 0;
    ScopedRegional scoped(data[0] & 1 ? Regional::italian() : Regional::english());
    const Text t = fromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    Funzioni f;
    numbers(t);
    dates(t);
    compactDates(f, t);
    xml(f, t);
    csvLine(f, t, static_cast<int32_t>((data[0] >> 1) % 40) - 2);
    return 0;
}
