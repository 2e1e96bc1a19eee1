#include <gtest/gtest.h>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/platform/module.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

constexpr int S = Funzioni::kScrambleShift;

// The round trips below check the blanks' codes; this is the result object.
TEST(FunzioniScramble, EmptyTextSucceedsUnlogged) {
    test::Sandbox box;
    Funzioni f;
    Text out = u"previous";
    ErrInfo r = f.simpleEncrypt(u"", out);
    EXPECT_EQ(out, u"");
    EXPECT_EQ(r.numberInfo(), 0);
    EXPECT_EQ(r.typeInfo(), eiINFORMATIONTYPE);
    EXPECT_EQ(r.locationInfo(), u"simpleEncrypt");
    EXPECT_EQ(r.classInfo(), platform::moduleName());
    EXPECT_EQ(r.processInfo(), u"");
    EXPECT_EQ(r.descriptionInfo(), u"");
    EXPECT_EQ(f.simpleDecrypt(u"", out).locationInfo(), u"simpleDecrypt");
    EXPECT_FALSE(test::exists(box.mainLog())) << "success is not logged";
}

TEST(FunzioniScramble, EveryCodeThatFitsRoundTrips) {
    test::Sandbox box;
    Funzioni f;
    Text all;
    for (int c = 0; c <= 255 - S; ++c)
        all.push_back(cp1252::toUnicode(static_cast<uint8_t>(c)));
    Text enc, dec;
    ASSERT_TRUE(f.simpleEncrypt(all, enc).isSuccess());
    EXPECT_NE(enc, all);
    for (char16_t c : enc)
        EXPECT_GE(cp1252::fromUnicode(c), S);
    ASSERT_TRUE(f.simpleDecrypt(enc, dec).isSuccess());
    EXPECT_EQ(dec, all);
    // A character outside the code page counts as a question mark.
    ASSERT_TRUE(f.simpleEncrypt(u"a\u4e00", enc).isSuccess());
    ASSERT_TRUE(f.simpleDecrypt(enc, dec).isSuccess());
    EXPECT_EQ(dec, u"a?");
}

void expectTrappedFailure(const ErrInfo& r, int32_t number, const char16_t* location,
                          const test::Sandbox& box) {
    EXPECT_EQ(r.numberInfo(), number);
    EXPECT_EQ(r.descriptionInfo(), standardMessage(number));
    EXPECT_EQ(r.typeInfo(), eiERRORTYPE);
    EXPECT_EQ(r.locationInfo(), location);
    EXPECT_EQ(r.classInfo(), platform::moduleName());
    const std::string log = test::readBytes(box.mainLog());
    EXPECT_NE(log.find(toUtf8(location)), std::string::npos) << log;
}

// The codes just inside the range round trip above; the length is a 16-bit count.
TEST(FunzioniScramble, CodesThatLeaveTheRangeAndOverlongTextsFailAndKeepTheOutput) {
    struct Case {
        bool encrypt;
        Text input;
        int32_t number;
    } cases[] = {
        {true, Text(u"ab") + cp1252::toUnicode(static_cast<uint8_t>(256 - S)),
         err::kInvalidArgument},
        {true, u"\u00ff", err::kInvalidArgument},  // code 255
        {false, u"a\tb", err::kInvalidArgument},   // code 9 < S
        {false, Text(1, cp1252::toUnicode(static_cast<uint8_t>(S - 1))), err::kInvalidArgument},
        {true, Text(32768, u'a'), err::kOverflow},
        {false, Text(32768, u'z'), err::kOverflow},
    };
    for (const auto& c : cases) {
        test::Sandbox box;
        Funzioni f;
        Text out = u"kept";
        ErrInfo r = c.encrypt ? f.simpleEncrypt(c.input, out) : f.simpleDecrypt(c.input, out);
        expectTrappedFailure(r, c.number, c.encrypt ? u"simpleEncrypt" : u"simpleDecrypt", box);
        EXPECT_EQ(out, u"kept");
    }
    test::Sandbox box;
    Text out;
    EXPECT_TRUE(Funzioni().simpleEncrypt(Text(32767, u'a'), out).isSuccess());
    EXPECT_EQ(out.size(), 32767u);
}

}  // namespace
}  // namespace orv
