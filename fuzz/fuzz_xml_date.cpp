// getDateFromXml on arbitrary text: a result is always a valid compact
// date-time that converts back to XML and again to itself.
#include <cstdlib>

#include "funzioni_input.hpp"
#include "orvcommon/functions/funzioni.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    Funzioni f;
    const Variant compact = f.getDateFromXml(in.text);
    if (compact.isEmpty()) return 0;
    if (!compact.isString() || !f.isDateYYYYMMDDHH24MISS(*compact.text())) std::abort();
    const Text xml = f.getDate2Xml(*compact.text());
    if (xml.size() != 19 || !(f.getDateFromXml(xml) == compact)) std::abort();
    return 0;
}
