// Test support: the two regional presets every regional case runs under.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "orvcommon/core/regional.hpp"

namespace orv::test {

struct RegionalCase {
    std::string name;
    Regional (*make)();
};

inline void PrintTo(const RegionalCase& c, std::ostream* os) {
    *os << c.name;
}

inline const RegionalCase kItalian{"Italian", &Regional::italian};
inline const RegionalCase kEnglish{"English", &Regional::english};

// A test run once under each preset, with the preset in force throughout.
class RegionalTest : public ::testing::TestWithParam<RegionalCase> {
  protected:
    ScopedRegional regional_{GetParam().make()};
};

inline std::string regionalCaseName(const ::testing::TestParamInfo<RegionalCase>& info) {
    return info.param.name;
}

}  // namespace orv::test
