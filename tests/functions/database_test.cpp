#include <gtest/gtest.h>

#include "functions/regional_cases.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/enums.hpp"
#include "support/errors.hpp"

namespace orv {
namespace {

const Variant kOracleAbsent{u"''"};
const Variant kNull{u"Null"};

class FunzioniDb : public test::RegionalTest {
  protected:
    Funzioni f;
};

TEST_P(FunzioniDb, DateLiteralsForEveryEngine) {
    const bool italian = GetParam().name == "Italian";
    const Variant compact(u"20230506102030");
    EXPECT_EQ(f.getDataForDB(dbengineORACLE, compact),
              Variant(u"to_date('20230506102030','YYYYMMDDHH24MISS')"));
    EXPECT_EQ(f.getDataForDB(dbengineMSACCESS, compact), Variant(u"#05/06/2023 10:20:30#"));
    EXPECT_EQ(f.getDataForDB(dbengineSQLSERVER, compact),
              Variant(italian ? u"'06/05/2023 10:20:30'" : u"'5/6/2023 10:20:30'"));
    // A number holding the digits reads as the same text.
    EXPECT_EQ(f.getDataForDB(dbengineORACLE, Variant(20230506102030.0)),
              Variant(u"to_date('20230506102030','YYYYMMDDHH24MISS')"));
    EXPECT_EQ(f.getDataForDB(dbengineMSACCESS, Variant(u"01000101000000")),
              Variant(u"#01/01/0100 00:00:00#"));
    for (const Variant& absent : {Variant(), Variant(u"20230506"), Variant(u"20230230102030"),
                                  Variant(u""), Variant(int32_t{5}), Variant(true)}) {
        EXPECT_EQ(f.getDataForDB(dbengineORACLE, absent), kOracleAbsent);
        EXPECT_EQ(f.getDataForDB(dbengineMSACCESS, absent), kNull);
        EXPECT_EQ(f.getDataForDB(dbengineSQLSERVER, absent), kNull);
    }
    for (int32_t unlisted : {0, 4, -1, 1000})
        for (const Variant& v : {compact, Variant(), Variant(Null{})})
            EXPECT_TRUE(f.getDataForDB(unlisted, v).isEmpty());
    for (int32_t engine : {1, 2, 3})
        EXPECT_EQ(test::errorNumberOf([&] { f.getDataForDB(engine, Variant(Null{})); }),
                  err::kInvalidUseOfNull);
}

TEST_P(FunzioniDb, BooleanFactorsAndLiterals) {
    for (const auto& [engine, factor] : {std::pair{1, -1}, {2, 1}, {3, -1}, {0, 0}, {4, 0}})
        EXPECT_EQ(f.getBoolForDB(engine), factor) << engine;

    struct Case {
        int32_t engine;
        Variant value;
        Variant literal;
    } cases[] = {
        {1, Variant(true), Variant(int16_t{1})},
        {2, Variant(true), Variant(int16_t{-1})},
        {1, Variant(false), Variant(int16_t{0})},
        {1, Variant(u"x"), kOracleAbsent},
        {2, Variant(u"x"), kNull},
        {3, Variant(Null{}), kNull},
        {9, Variant(true), Variant()},
        {0, Variant(u"x"), Variant()},
        {2, Variant(u"1"), Variant(int16_t{1})},
        {1, Variant(), Variant(int16_t{0})},
        {1, Variant(2.5), Variant(int16_t{-2})},
        {2, Variant(int16_t{-32768}), Variant(int16_t{-32768})},
        {3, Variant(int32_t{32767}), Variant(int16_t{-32767})},
    };
    for (auto& c : cases) {
        Variant before = c.value;
        EXPECT_EQ(f.getBoolForDBx(c.engine, c.value), c.literal) << c.engine;
        EXPECT_EQ(c.value, before);
    }
    Variant minimum(int16_t{-32768});
    EXPECT_EQ(test::errorNumberOf([&] { f.getBoolForDBx(3, minimum); }), err::kOverflow);
    EXPECT_EQ(test::errorNumberOf([&] { f.getBoolForDBx(1, minimum); }), err::kOverflow);
    Variant big(int32_t{40000});
    EXPECT_EQ(test::errorNumberOf([&] { f.getBoolForDBx(2, big); }), err::kOverflow);
}

TEST_P(FunzioniDb, NumbersAndTheRewrittenArgument) {
    struct Case {
        int32_t engine;
        Variant value, literal;
        bool rewritten = false;  // only Single and Double are, with a listed engine
    } cases[] = {
        {1, Variant(12.5), Variant(u"12.5"), true},
        {3, Variant(0.1f), Variant(u"0.1"), true},
        {5, Variant(12.5), Variant()},
        {2, Variant(int32_t{7}), Variant(int32_t{7})},
        {3, Variant(Currency{25000}), Variant(int32_t{2})},
        {1, Variant(u"abc"), kOracleAbsent},
        {3, Variant(u"abc"), kNull},
        {2, Variant(Null{}), kNull},
        {2, Variant(), Variant(int32_t{0})},
        {1, Variant(true), Variant(int32_t{-1})},
        {2, Variant(*Decimal::parse("3.5")), Variant(int16_t{4})},
        {3, Variant(uint8_t{9}), Variant(int32_t{9})},
    };
    for (auto& c : cases) {
        const Variant after = c.rewritten ? c.literal : c.value;
        EXPECT_EQ(f.getNumberForDB(c.engine, c.value), c.literal) << c.engine;
        EXPECT_EQ(c.value, after);
    }
    Variant tooBig(u"2147483648");
    EXPECT_EQ(test::errorNumberOf([&] { f.getNumberForDB(1, tooBig); }), err::kOverflow);
    EXPECT_EQ(tooBig, Variant(u"2147483648"));
    Variant decimalTooBig(*Decimal::parse("32768"));
    EXPECT_EQ(test::errorNumberOf([&] { f.getNumberForDB(2, decimalTooBig); }), err::kOverflow);
}

INSTANTIATE_TEST_SUITE_P(Presets, FunzioniDb, ::testing::Values(test::kItalian, test::kEnglish),
                         test::regionalCaseName);

}  // namespace
}  // namespace orv
