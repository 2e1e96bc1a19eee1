// The date test on arbitrary text: a text that passes gives a valid OLE
// date; only run-time errors escape from the conversion.
#include <cstdlib>

#include "funzioni_input.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/dates.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    const auto date = parseDateText(in.text);
    if (date && !isValidOleDate(*date)) std::abort();
    if (date) formatDate(*date, u"General Date");
    try {
        toDate(Variant(in.text));
    } catch (const RuntimeError&) {
    }
    return 0;
}
