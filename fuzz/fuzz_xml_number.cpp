// getNumberFromXml and getNumber2Xml on arbitrary text: only run-time errors
// may escape.
#include "funzioni_input.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    Funzioni f;
    const Variant v(in.text);
    try {
        f.getNumberFromXml(v);
    } catch (const RuntimeError&) {
    }
    try {
        f.getNumber2Xml(v);
    } catch (const RuntimeError&) {
    }
    return 0;
}
