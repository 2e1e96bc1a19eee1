// getDurFromXml and getWorkFromXml on arbitrary text: only run-time errors
// may escape, and the two differ by their factor alone.
#include <cmath>
#include <cstdlib>

#include "funzioni_input.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    fuzz::Input in = fuzz::split(data, size);
    ScopedRegional scoped(in.regional);
    Funzioni f;
    const Variant v(in.text);
    double duration = 0, work = 0;
    try {
        duration = f.getDurFromXml(v);
    } catch (const RuntimeError&) {
        return 0;
    }
    work = f.getWorkFromXml(v);  // must fail exactly when the duration failed
    if (std::isfinite(duration) && std::fabs(work - duration * 100) > 1e-9 * std::fabs(work) + 1e-9)
        std::abort();
    return 0;
}
