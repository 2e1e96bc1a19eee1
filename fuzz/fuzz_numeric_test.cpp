// The numeric test and the conversions behind it on arbitrary text: a text
// that passes converts to a finite double; only run-time errors escape.
#include <cmath>
#include <cstdlib>

#include "funzioni_input.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    const Variant v(in.text);
    const bool numeric = isNumeric(v);
    if (numeric != isNumericText(in.text)) std::abort();
    if (numeric && !std::isfinite(toDouble(v))) std::abort();
    if (!numeric) {
        try {
            toDouble(v);
            std::abort();  // a text that is not a number must not convert
        } catch (const RuntimeError&) {
        }
    }
    for (auto convert : {+[](const Variant& x) { (void)toInt16(x); },
                         +[](const Variant& x) { (void)toInt32(x); }}) {
        try {
            convert(v);
        } catch (const RuntimeError&) {
        }
    }
    return 0;
}
