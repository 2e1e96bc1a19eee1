// The compact date validators and day numbers on arbitrary text: no failure
// escapes, and the answers agree with each other.
#include <cstdlib>

#include "funzioni_input.hpp"
#include "orvcommon/functions/funzioni.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    Funzioni f;
    const Text& t = in.text;
    const bool date = f.isDateYYYYMMDD(t);
    const bool time = f.isTimeHH24MISS(t);
    const bool both = f.isDateYYYYMMDDHH24MISS(t);
    Text year = t;
    const bool leap = f.isYYYYBisestile(year);
    if (year != t) std::abort();
    if ((date && t.size() != 8) || (time && t.size() != 6) || (both && t.size() != 14))
        std::abort();
    if (leap && t.size() != 4) std::abort();
    const int16_t day = f.getDayNumberFromYYYYMMDD(t);
    if (day < 0 || day > 7) std::abort();
    if (date && day == 0) std::abort();  // a valid date always has a day
    f.isDateYYYYMMDDefault(t);
    f.isDateYYYYMMDDefaultSpaces(t);
    return 0;
}
