#include <gtest/gtest.h>

#include <new>
#include <tuple>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "orvcommon/results/trap.hpp"
#include "support/errors.hpp"
#include "support/sandbox.hpp"
#include "support/system_call.hpp"

namespace orv {
namespace {

// Nothing crosses the trapping boundary: an exception of any type becomes
// error 51, and when logging the failure throws in turn (out of memory) the
// caller still gets a filled result object.
TEST(Trapped, NothingEscapesAndTheResultIsAlwaysFilled) {
    test::Sandbox sb;
    const Trap trap{u"op", classOrigin(u"C"), Description::Own};
    struct Foreign {};
    const ErrInfo foreign = trapped(trap, [](ErrInfo&) { throw Foreign{}; });
    EXPECT_EQ(foreign.numberInfo(), err::kInternal);
    EXPECT_EQ(foreign.locationInfo(), u"op");

    test::ReplacedCall clock("clock", []() -> platform::LocalTime { throw std::bad_alloc(); });
    const ErrInfo r = trapped(trap, [](ErrInfo&) { raise(err::kFileNotFound); });
    EXPECT_EQ(r.numberInfo(), err::kFileNotFound);
    EXPECT_EQ(r.typeInfo(), eiERRORTYPE);
}

TEST(ErrInfo, NewIsUnfilledSuccessAndClearLeavesOnlyTheDebugType) {
    ErrInfo e;
    EXPECT_TRUE(e.isSuccess());
    EXPECT_EQ(e.typeInfo(), 0);
    EXPECT_EQ(e.getAttrEqualValue(), u"");
    e.fill(53, u"File not found", eiERRORTYPE, u"readFile", Variant(u"C"), Variant(u"P"),
           Variant(u"S"));
    e.clear();
    ErrInfo cleared;
    cleared.fill(0, u"", eiDEBUGTYPE, u"");
    EXPECT_EQ(e, cleared);
    EXPECT_EQ(e.getAttrEqualValue(), u"vntTypeInfo=\"4\" ");
}

TEST(ErrInfo, AttributeStringSkipsNegativeNumbersAndTrims) {
    ErrInfo e;
    e.fill(eiABORTED, u"HTTP Error", eiERRORTYPE, u"IOpen", Variant(u"NxInet"),
           Variant(u"orvcommon"));
    EXPECT_FALSE(e.isSuccess());
    EXPECT_EQ(e.getAttrEqualValue(),
              u"vntDescriptionInfo=\"HTTP Error\" vntTypeInfo=\"1\" vntLocationInfo=\"IOpen\" "
              u"vntProcessInfo=\"orvcommon\" vntClassInfo=\"NxInet\" ");
    e.fill(53, u"  x  ", eiERRORTYPE, u"", Missing{}, Missing{}, Variant(u" step "));
    EXPECT_EQ(e.descriptionInfo(), u"  x  ");
    EXPECT_EQ(e.getAttrEqualValue(),
              u"vntNumberInfo=\"53\" vntDescriptionInfo=\"x\" vntTypeInfo=\"1\" "
              u"vntStepInfo=\"step\" ");
}

// A field that does not convert stops the fill there: the fields before it
// are stored, the ones after it keep their old values.
TEST(ErrInfo, FillStopsAtTheFieldThatDoesNotConvert) {
    ErrInfo e;
    e.fill(7, u"old", 1, u"oldloc");
    EXPECT_EQ(test::errorNumberOf([&] { e.fill(9, u"new", 40000, u"newloc"); }), err::kOverflow);
    ErrInfo want;
    want.fill(9, u"new", 1, u"oldloc");
    EXPECT_EQ(e, want);
    EXPECT_EQ(test::errorNumberOf([&] { e.fill(1, u"d", 1, u"l", Variant(u"c"), Null{}); }), 94);
    EXPECT_EQ(e.locationInfo(), u"l");
    structError s{Variant(u"1"), Variant(u"desc"), Variant(70000), Variant(u"loc"), {}, {}, {}};
    ErrInfo fresh;
    EXPECT_EQ(test::errorNumberOf([&] { fresh.ErrInfoNew(s); }), err::kOverflow);
    EXPECT_EQ(std::tuple(fresh.numberInfo(), fresh.descriptionInfo(), fresh.locationInfo()),
              std::tuple(1, Text(u"desc"), Text()));
}

TEST(ErrInfo, ErrInfoNewRules) {
    const struct {
        const char* name;
        Variant number, description, type;
        int32_t wantNumber;
        Text wantDescription;
        int16_t wantType;
        int32_t wantStatus;
    } cases[] = {
        {"all empty", Variant(), Variant(), Variant(), 11, u"orig", 2, 0},
        {"non-numeric number", Variant(u"abc"), Variant(u"d"), Variant(), 11, u"d", 2, eiABORTED},
        {"blank type", Variant(), Variant(), Variant(u"   "), 11, u"orig", 2, 0},
        {"number converted", Variant(u"2.5"), Variant(), Variant(), 2, u"orig", 2, 0},
        {"null ignored", Null{}, Null{}, Null{}, 11, u"orig", 2, 0},
        {"bad type", Variant(u"5"), Variant(), Variant(u"x"), 5, u"orig", 2, eiABORTED},
        {"double and bool", Variant(-1.5), Variant(true), Variant(true), -2, u"True", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ErrInfo e;
        e.fill(11, u"orig", 2, u"loc");
        structError s{c.number, c.description, c.type, {}, {}, {}, {}};
        EXPECT_EQ(e.ErrInfoNew(s), c.wantStatus);
        EXPECT_EQ(std::tuple(e.numberInfo(), e.descriptionInfo(), e.typeInfo()),
                  std::tuple(c.wantNumber, c.wantDescription, c.wantType));
        EXPECT_EQ(s.vntNumberInfo, c.number);  // the record is not changed
    }
}

TEST(ErrInfo, CloneCopiesFieldsAndReturnsClearedObject) {
    test::Sandbox box;
    ErrInfo source;
    source.fill(53, u"File not found", eiERRORTYPE, u"readFile", Variant(u"FileUtility"),
                Variant(u"orvcommon"), Variant(u"step1"));
    ErrInfo copy;
    copy.fill(1, u"previous", 1, u"x");
    EXPECT_EQ(source.clone(copy), test::cleared());
    EXPECT_EQ(copy, source);
    copy.clear();
    EXPECT_EQ(source.numberInfo(), 53);
    EXPECT_FALSE(test::exists(box.mainLog()));
}

TEST(ErrInfo, GetInfoSignExtendsTypeAndFillsOptionalTexts) {
    ErrInfo e;
    e.fill(5, u"d", -1, u"l", Variant(u"c"), Variant(u"p"), Variant(u"s"));
    int32_t n = 0, t = 0;
    Text d, l;
    Variant c, p, s;
    EXPECT_EQ(e.getInfo(n, d, t, l, &c, &p, &s), 0);
    EXPECT_EQ(std::tie(n, t, d, l, c, p, s),
              std::make_tuple(5, -1, Text(u"d"), Text(u"l"), Variant(u"c"), Variant(u"p"),
                              Variant(u"s")));
}

}  // namespace
}  // namespace orv
