#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvcommon/functions/funzioni.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using test::Sandbox;
using Op = ErrInfo (Funzioni::*)(const Text&, Text&);

const std::pair<const char*, Op> kOps[] = {{"normStringForDb", &Funzioni::normStringForDb},
                                           {"normStringNoCRLF", &Funzioni::normStringNoCRLF},
                                           {"normStringOnlyAscii", &Funzioni::normStringOnlyAscii},
                                           {"normStringOnlyApice", &Funzioni::normStringOnlyApice},
                                           {"normStringForXML", &Funzioni::normStringForXML}};

// Every operation: an empty or blank text becomes one space, trailing spaces go.
const std::pair<Text, Text> kCommon[] = {
    {u"", u" "}, {u"    ", u" "}, {u"abc   ", u"abc"}, {u"   abc", u"   abc"}, {u"a\t", u"a\t"}};

TEST(Normalise, CommonRules) {
    Sandbox sb;
    Funzioni f;
    for (const auto& [name, op] : kOps) {
        for (const auto& [in, out] : kCommon) {
            SCOPED_TRACE(std::string(name) + " " + toUtf8(in));
            Text got = u"unset";
            ErrInfo r = (f.*op)(in, got);
            EXPECT_EQ(got, out);
            EXPECT_EQ(r.numberInfo(), 0);
            EXPECT_EQ(r.typeInfo(), eiINFORMATIONTYPE);
            EXPECT_EQ(r.locationInfo(), fromUtf8(name));
            EXPECT_EQ(r.classInfo(), u"orvcommon");
            EXPECT_TRUE(r.processInfo().empty());
            EXPECT_TRUE(r.descriptionInfo().empty());
        }
        // Too long for the 16-bit count: error 6, logged, output untouched.
        const size_t before = sb.logLines();
        Text got = u"unset";
        ErrInfo r = (f.*op)(Text(32768, u'a'), got);
        EXPECT_EQ(r.numberInfo(), 6);
        EXPECT_EQ(r.locationInfo(), fromUtf8(name));
        EXPECT_EQ(got, u"unset");
        EXPECT_EQ(sb.logLines(), before + 1);
        EXPECT_TRUE((f.*op)(Text(32767, u'a'), got).isSuccess());
    }
}

TEST(Normalise, ReplacementTables) {
    const struct {
        Op op;
        Text in, out;
    } cases[] = {
        {&Funzioni::normStringForDb, u"it's", u"it''s"},
        {&Funzioni::normStringForDb, u"a`b", u"a b"},
        {&Funzioni::normStringForDb, u"one\r\ntwo", u"one  two"},
        {&Funzioni::normStringForDb, u"abc\r\n", u"abc"},
        {&Funzioni::normStringForDb, u"\r\n\r", u" "},
        {&Funzioni::normStringForDb, u"```", u" "},
        {&Funzioni::normStringNoCRLF, u"a'b\r\nc`", u"a'b  c`"},
        {&Funzioni::normStringOnlyApice, u"''", u"''''"},
        {&Funzioni::normStringOnlyApice, u"a\r\nb", u"a\r\nb"},
        {&Funzioni::normStringForXML, u"<a & b>", u"&lt;a &amp; b&gt;"},
        {&Funzioni::normStringForXML, u"\u00c8\"", u"\u00c8\""},
        {&Funzioni::normStringForXML, u"pi\u00f9", u"piu`"},
        {&Funzioni::normStringForXML, u"it's", u"it`s"},
        {&Funzioni::normStringForXML, u"\u00e8\u00e9\u00e0\u00f2\u00ec", u"e`e`a`o`i`"},
        {&Funzioni::normStringForXML, u"&amp;", u"&amp;amp;"},
        {&Funzioni::normStringOnlyAscii, u"a\tb\rc\nd", u"a\tb\rc\nd"},
        {&Funzioni::normStringOnlyAscii,
         u"a\x01"
         u"b\x7f"
         u"c",
         u"a b c"},
        {&Funzioni::normStringOnlyAscii, u"\u20ac\u201cx\u2018\u00e0\u0081", u"  x\u2018\u00e0"},
        {&Funzioni::normStringOnlyAscii, u"\u0008\u000b\u000c\u2019\u201d\u0178\u00a0z",
         u"\u0008  \u2019  \u00a0z"},
        {&Funzioni::normStringOnlyAscii, u"\u4e2d", u"\u4e2d"},
    };
    Sandbox sb;
    Funzioni f;
    for (const auto& c : cases) {
        Text got;
        EXPECT_TRUE((f.*c.op)(c.in, got).isSuccess());
        EXPECT_EQ(got, c.out) << toUtf8(c.in);
    }
}

TEST(Normalise, ApiceWithNull) {
    Sandbox sb;
    Funzioni f;
    for (const Variant& v : {Variant(Null{}), Variant()}) {
        Variant out = Text(u"x");
        ErrInfo r = f.normStringOnlyApiceWithNull(v, out);
        EXPECT_TRUE(out.isNull());
        EXPECT_EQ(r, ErrInfo());
    }
    Variant out;
    ErrInfo r = f.normStringOnlyApiceWithNull(Variant(int16_t{12}), out);
    EXPECT_EQ(out, Variant(Text(u"12")));
    EXPECT_EQ(r.locationInfo(), u"normStringOnlyApice");
    ASSERT_TRUE(f.normStringOnlyApiceWithNull(Variant(Text(u"l'a  ")), out).isSuccess());
    EXPECT_EQ(out, Variant(Text(u"l''a")));

    r = f.normStringOnlyApiceWithNull(Variant(Text(40000, u'a')), out);
    EXPECT_EQ(r.numberInfo(), 6);
    EXPECT_EQ(r.locationInfo(), u"normStringOnlyApice");
    EXPECT_EQ(out, Variant(Text()));
    EXPECT_EQ(sb.logLines(), 1u);

    out = Text(u"keep");
    r = f.normStringOnlyApiceWithNull(Variant(VariantArray({0, 1})), out);
    EXPECT_EQ(r.numberInfo(), 13);
    EXPECT_EQ(r.locationInfo(), u"normStringOnlyApiceWithNull");
    EXPECT_EQ(r.classInfo(), u"orvcommon");
    EXPECT_EQ(out, Variant(Text(u"keep")));
    EXPECT_EQ(sb.logLines(), 2u);
}

}  // namespace
}  // namespace orv
