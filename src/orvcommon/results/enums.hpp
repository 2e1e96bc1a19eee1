// The published enumerations and records of the library.
#pragma once

#include <array>
#include <cstdint>

#include "orvcommon/core/variant.hpp"

namespace orv {

// Result codes, built on the automation object-error base 0x80040000.
enum errInfoCostant : int32_t {
    eiSUCCESFULL = 0,
    eiABORTED = static_cast<int32_t>(0x80040258u),        // base + 600
    eiNORECORD = static_cast<int32_t>(0x80040259u),       // base + 601
    eiNOVALIDVALUE = static_cast<int32_t>(0x8004025Au),   // base + 602
    eiREGISTRYERROR = static_cast<int32_t>(0x8004025Bu),  // base + 603
};

// Message types.
enum typeInfoCostant : int32_t {
    eiERRORTYPE = 1,
    eiWARNINGTYPE = 2,
    eiINFORMATIONTYPE = 3,
    eiDEBUGTYPE = 4,
};

// Per-class codes, published for callers; no operation reports them.
enum gcmFileUtility : int32_t {
    gcmfileutilityFILENOTFOUND = static_cast<int32_t>(0x800402BCu),  // base + 700
};
enum gcmFunzioni : int32_t {
    gcmfunzioniDATEINVALID = static_cast<int32_t>(0x80040320u),  // base + 800
};
enum gcmRegistryUtylity : int32_t {
    gcmregistryutilityKEYNOTFOUND = static_cast<int32_t>(0x80040384u),  // base + 900
};

enum typeOutputReport : int32_t { torFORM = 1, torPRINTER = 2 };
enum typeDataBaseEngine : int32_t {
    dbengineORACLE = 1,
    dbengineMSACCESS = 2,
    dbengineSQLSERVER = 3
};
enum typedbExistUniqueObject : int32_t { dbeuoUNIQUE = 0, dbeuoMORE = 1, dbeuoNOTFOUND = 2 };

// Record exchanged with ErrInfoNew: seven Variants mirroring a result object.
struct structError {
    Variant vntNumberInfo;
    Variant vntDescriptionInfo;
    Variant vntTypeInfo;
    Variant vntLocationInfo;
    Variant vntProcessInfo;
    Variant vntClassInfo;
    Variant vntStepInfo;
};

// The operating system's date-time record (16-bit fields).
struct SYSTEMTIME {
    int16_t wYear = 0;
    int16_t wMonth = 0;
    int16_t wDayOfWeek = 0;
    int16_t wDay = 0;
    int16_t wHour = 0;
    int16_t wMinute = 0;
    int16_t wSecond = 0;
    int16_t wMilliseconds = 0;
};

// The operating system's time-zone record.
struct TIME_ZONE_INFORMATION {
    int32_t Bias = 0;
    std::array<char16_t, 32> StandardName{};
    SYSTEMTIME StandardDate;
    int32_t StandardBias = 0;
    std::array<char16_t, 32> DaylightName{};
    SYSTEMTIME DaylightDate;
    int32_t DaylightBias = 0;
};

}  // namespace orv
