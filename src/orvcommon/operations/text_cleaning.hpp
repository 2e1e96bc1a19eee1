// The string cleaning that Funzioni publishes (its normString... operations)
// and that the record reader of FileUtility applies to every record.
#pragma once

#include <cstdint>
#include <limits>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv::operations {

// The input's length is taken as a 16-bit count.
inline constexpr size_t kMaxCleanLength = std::numeric_limits<int16_t>::max();

// One cleaning, reported as the Funzioni operation `location`: walks the
// input once; `replace(c, out)` appends the replacement of c and returns
// true, or returns false to let c through unchanged. Trailing spaces are
// trimmed and an empty outcome becomes one space; `output` is written only
// on success. `extra` is the most characters one input character may add,
// used for the single output reservation.
template <class Replace>
ErrInfo normalise(const char16_t* location, const Text& input, Text& output, size_t extra,
                  Replace&& replace) {
    const Trap trap{location, moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        if (input.size() > kMaxCleanLength) raise(err::kOverflow);
        Text out;
        out.reserve(input.size() * (1 + extra));
        for (char16_t c : input)
            if (!replace(c, out)) out.push_back(c);
        size_t end = out.size();
        while (end > 0 && out[end - 1] == u' ')
            --end;
        out.resize(end);
        if (out.empty()) out = u" ";
        output = std::move(out);
        fillSuccess(result, trap, Text());
    });
}

// Funzioni::normStringOnlyAscii: control characters and most of code page
// 1252's upper block become spaces.
ErrInfo cleanOnlyAscii(const Text& sStringa, Text& sStringaOut);

}  // namespace orv::operations
