// Funzioni: value conversions and text functions. One source unit per topic
// (dates.cpp, xml.cpp, database.cpp, csv_sort_system.cpp, normalise.cpp,
// pdf.cpp, scramble.cpp); the declarations below follow interface order,
// topic by topic.
#pragma once

#include <cstdint>

#include "orvcommon/core/array.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class Funzioni {
  public:
    // Creating an object writes 1.1 as regional number text and keeps its
    // second character as this thread's regional decimal separator.
    Funzioni();

    // The regional decimal separator of this thread, as the last creation
    // of a Funzioni object on it read it.
    static char16_t regionalDecimalSeparator();

    // ---- Date and time validation (dates.cpp)

    // ---- XML value conversion (xml.cpp)

    // ---- Database value conversion (database.cpp)

    // ---- CSV string parsing, sorting and system information (csv_sort_system.cpp)

    // ---- String normalisation (normalise.cpp)

    // ---- PDF generation (pdf.cpp)

    // ---- Simple string scrambling (scramble.cpp)
};

}  // namespace orv
