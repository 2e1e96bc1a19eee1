// The conversions that depend on regional settings give under the real
// installed Italian and US English locales what they give under the presets.
#include <gtest/gtest.h>

#include <optional>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/regional.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/enums.hpp"

namespace orv {
namespace {

std::optional<Regional> installed(const char* name) {
    try {
        return Regional::fromLocale(name);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

struct Outcome {
    int16_t monday, thursday;
    Variant number;
    Variant sqlServer;
};

Outcome outcomeUnder(const Regional& r) {
    ScopedRegional scoped(r);
    Funzioni f;
    return Outcome{f.getDayNumberFromYYYYMMDD(u"20240101"), f.getDayNumberFromYYYYMMDD(u"20230230"),
                   f.getNumber2Xml(Variant(1234.5)),
                   f.getDataForDB(dbengineSQLSERVER, Variant(u"20230506102030"))};
}

TEST(FunzioniInstalledLocale, ItalianAndUsEnglishMatchThePresets) {
    auto italian = installed("it_IT.UTF-8");
    auto english = installed("en_US.UTF-8");
    if (!italian || !english) GTEST_SKIP() << "it_IT.UTF-8 / en_US.UTF-8 not generated";

    const Outcome it = outcomeUnder(*italian), itPreset = outcomeUnder(Regional::italian());
    EXPECT_EQ(it.monday, 2);
    EXPECT_EQ(it.thursday, 5);
    EXPECT_EQ(it.monday, itPreset.monday);
    EXPECT_EQ(it.number, Variant(u"1234.5"));
    EXPECT_EQ(it.number, itPreset.number);
#ifdef _WIN32
    // Day before month; the padding is the locale data's own (Wine's Italian
    // short date has none, Windows' pads with a zero).
    const Text sql = toText(it.sqlServer);
    EXPECT_TRUE(sql.rfind(u"'06/05/2023 ", 0) == 0 || sql.rfind(u"'6/5/2023 ", 0) == 0)
        << toUtf8(sql);
#else
    EXPECT_EQ(it.sqlServer, Variant(u"'06/05/2023 10:20:30'"));
    EXPECT_EQ(it.sqlServer, itPreset.sqlServer);
#endif

    const Outcome en = outcomeUnder(*english), enPreset = outcomeUnder(Regional::english());
    EXPECT_EQ(en.monday, 2);
    EXPECT_EQ(en.thursday, 5);
    EXPECT_EQ(en.monday, enPreset.monday);
    EXPECT_EQ(en.number, enPreset.number);
    // Month, day and year in that order as under the preset; glibc's US
    // locale pads month and day with a zero, Windows' and the preset do not.
    EXPECT_EQ(enPreset.sqlServer, Variant(u"'5/6/2023 10:20:30'"));
#ifdef _WIN32
    EXPECT_EQ(en.sqlServer, enPreset.sqlServer);
#else
    EXPECT_EQ(en.sqlServer, Variant(u"'05/06/2023 10:20:30'"));
#endif
}

}  // namespace
}  // namespace orv
