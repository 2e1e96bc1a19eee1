// Feeds arbitrary lines (code page 1252 bytes, first byte choosing the array's
// upper bound) to the CSV line splitter: no crash, and on success the fields
// joined back with ";" cover the line's separators exactly.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_support.hpp"
#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/functions/funzioni.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    static const fuzz::QuietLog quiet;
    if (size == 0) return 0;
    const int32_t upper = static_cast<int32_t>(data[0] % 40) - 2;
    const Text line =
        cp1252::decode(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    Array<Text> fields;
    if (upper >= -1) fields.redim({0, upper});
    Funzioni f;
    int32_t found = -1;
    ErrInfo r = f.getValueFromCsvString(line, fields, found);
    if (found < 0 || (upper >= 0 && found > upper)) std::abort();
    if (r.isSuccess()) {
        // Every field came from the line, so the fields are never longer
        // in total than the line.
        size_t total = 0;
        for (int32_t i = 1; i <= found; ++i)
            total += fields.at(i).size();
        if (total > line.size()) std::abort();
    }
    return 0;
}
