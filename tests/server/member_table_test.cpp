// Creation by name, argument coercion, Missing optionals, by-reference
// write-back and run-time errors of the automation surface.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/server/member_table.hpp"
#include "support/errors.hpp"
#include "support/sandbox.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

ErrInfo& errInfoOf(const V& v) {
    return instanceValue<ErrInfo>(v.get<ObjectRef>());
}

V call(const ObjectRef& o, const char16_t* name, std::vector<V*> args = {}) {
    return invoke(o, name, MemberKind::Method, std::move(args));
}

// A one-dimensional array from 1.
VariantArray arrayOf(std::initializer_list<V> items) {
    VariantArray a(Bounds{1, static_cast<int32_t>(items.size())});
    int32_t i = 1;
    for (const V& v : items)
        a.at(i++) = v;
    return a;
}

TEST(Coercion, ConvertsArgumentsAsAutomationDoes) {
    const ScopedRegional english(Regional::english());
    const VariantArray three = arrayOf({V(int32_t{1}), V(true), V()});
    const VariantArray threeTexts = arrayOf({V(u"1"), V(u"True"), V(u"")});
    const Type errInfo = type::object(u"ErrInfo");
    const V obj = errInfoObject(ErrInfo());
    const struct {
        const char* what;
        V value;
        Type type;
        std::optional<V> expected;  // nullopt: run-time error `error`
        int32_t error = 0;
    } cases[] = {
        // One row per declared type: the conversion itself is the core's.
        {"text to Long", V(u"7"), type::Long, V(int32_t{7})},
        {"text to Integer", V(u"2.5"), type::Integer, V(int16_t{2})},
        {"enumeration travels as Long", V(int16_t{3}), type::enumeration(u"typeInfoCostant"),
         V(int32_t{3})},
        {"Empty to String", V(), type::String, V(Text())},
        {"text to Boolean", V(u"True"), type::Boolean, V(true)},
        {"text to Byte", V(u"255"), type::Byte, V(uint8_t{255})},
        {"text to Double", V(u"1.5"), type::Double, V(1.5)},
        {"text to Date", V(u"12/4/2026"), type::Date, V(orv::Date{46360})},
        {"Variant takes an array as given", V(three), type::Variant, V(three)},
        {"Empty is an undimensioned array", V(), type::StringArray, V(VariantArray())},
        {"array elements become Strings", V(three), type::StringArray, V(threeTexts)},
        {"object of the declared class", obj, errInfo, obj},
        {"Empty object is Nothing", V(), errInfo, V(ObjectRef())},
        // Every failed conversion is a type mismatch, except an overflow.
        {"Null to a typed parameter", V(Null{}), type::Long, std::nullopt, err::kTypeMismatch},
        {"array to String", V(three), type::String, std::nullopt, err::kTypeMismatch},
        {"object to String", obj, type::String, std::nullopt, err::kTypeMismatch},
        {"object of another class", V(makeInstance<int>(u"Other", 1)), errInfo, std::nullopt,
         err::kTypeMismatch},
        {"text to an object", V(u"x"), errInfo, std::nullopt, err::kTypeMismatch},
        {"scalar to String()", V(u"x"), type::StringArray, std::nullopt, err::kTypeMismatch},
        {"out of 16-bit range", V(u"32768"), type::Integer, std::nullopt, err::kOverflow},
        {"record of six fields", V(VariantArray(Bounds{0, 5})), type::record(kStructError),
         std::nullopt, err::kTypeMismatch},
        {"record from a scalar", V(u"x"), type::record(kStructError), std::nullopt,
         err::kTypeMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.expected) {
            EXPECT_EQ(coerce(c.value, c.type), *c.expected);
        } else {
            EXPECT_EQ(test::errorNumberOf([&] { coerce(c.value, c.type); }), c.error);
        }
    }
}

TEST(Factory, CreatesByNameIgnoringCase) {
    ObjectRef o = createObject(u"ORVCOMMON.errinfo");
    ASSERT_TRUE(o);
    EXPECT_EQ(o->className(), u"ErrInfo");
    EXPECT_EQ(&classOf(o), findClass(u"errInfo"));
    for (const char16_t* bad :
         {u"orvcommon.NxGlobal", u"orvcommon.Nope", u"other.ErrInfo", u"ErrInfo"})
        EXPECT_EQ(test::errorNumberOf([&] { createObject(bad); }), 429) << toUtf8(bad);
    ASSERT_NE(findClass(u"NxGlobal"), nullptr);
    EXPECT_TRUE(findClass(u"NxGlobal")->members.empty());
}

// Members are found by name in any case and by kind; an error of the
// operation itself (Overflow) reaches the caller unchanged.
TEST(Invoke, FindsMembersCoercesArgumentsAndRaisesArgumentErrors) {
    ObjectRef o = createObject(u"orvcommon.ErrInfo");
    EXPECT_EQ(call(o, u"NUMBERINFO"), V(int32_t{0}));
    EXPECT_EQ(call(o, u"IsSuccess"), V(true));
    ErrInfo& e = instanceValue<ErrInfo>(o);
    V n(u"7"), d(int32_t{12}), t(u"3"), l(u"loc"), cls(u"C"), proc(u"P"), step(u"S");
    EXPECT_EQ(call(o, u"ErrInfo", {&n, &d, &t, &l, &cls, &proc, &step}), V(int32_t{0}));
    ErrInfo want;
    want.fill(7, u"12", 3, u"loc", V(u"C"), V(u"P"), V(u"S"));
    EXPECT_EQ(e, want);
    EXPECT_EQ(n, V(u"7"));  // by value: not written back
    // Omitted optional Variants arrive as Missing: the fields become empty.
    V missing(Missing{});
    call(o, u"ErrInfo", {&n, &d, &t, &l, &missing});
    want.fill(7, u"12", 3, u"loc");
    EXPECT_EQ(e, want);
    EXPECT_EQ(test::errorNumberOf([&] { call(ObjectRef(), u"clear"); }), err::kObjectNotSet);
    V x(u"x"), abc(u"abc"), big(int32_t{40000});
    const struct {
        const char16_t* member;
        std::vector<V*> args;
        int32_t error;
        MemberKind kind = MemberKind::Method;
    } cases[] = {
        {u"numberInfo", {&n}, 438, MemberKind::PropertyPut},
        {u"noSuchMember", {}, 438},
        {u"ErrInfo", {&n, &d, &t}, err::kArgumentNotOptional},
        {u"ErrInfo", {&n, &missing, &t, &l}, err::kArgumentNotOptional},
        {u"ErrInfo", {&n, &d, &t, &l, &x, &x, &x, &x}, 450},
        {u"isSuccess", {&n}, 450},
        {u"ErrInfo", {&abc, &d, &t, &l}, err::kTypeMismatch},
        {u"ErrInfo", {&n, &d, &big, &l}, err::kOverflow},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::errorNumberOf([&] { invoke(o, c.member, c.kind, c.args); }), c.error)
            << toUtf8(c.member);
}

TEST(Invoke, WritesByReferenceArgumentsBackAndClonesIntoANewObject) {
    ObjectRef o = createObject(u"orvcommon.ErrInfo");
    instanceValue<ErrInfo>(o).fill(53, u"File not found", -1, u"readFile", V(u"Cls"), V(u"Proc"),
                                   V(u"Step"));
    // Empty variables take the declared types, others keep their own.
    V number(u"0"), description, type(1.5), location, cls, proc(int32_t{9});
    EXPECT_EQ(call(o, u"getInfo", {&number, &description, &type, &location, &cls, &proc}),
              V(int32_t{0}));
    // A Variant parameter (proc) writes back what the operation stored.
    EXPECT_EQ((std::vector<V>{number, description, type, location, cls, proc}),
              (std::vector<V>{V(u"53"), V(u"File not found"), V(-1.0), V(u"readFile"), V(u"Cls"),
                              V(u"Proc")}));

    // A written-back value that does not convert is a type mismatch.
    V when(orv::Date{46360});
    EXPECT_EQ(test::errorNumberOf([&] {
                  call(o, u"getInfo", {&number, &when, &type, &location});
              }),
              err::kTypeMismatch);

    // clone stores a new object in the variable, a copy of this one.
    V before = errInfoObject(ErrInfo());
    V var = before;
    call(o, u"clone", {&var});
    ASSERT_TRUE(var.isObject());
    EXPECT_EQ(errInfoOf(var), instanceValue<ErrInfo>(o));
    EXPECT_EQ(errInfoOf(before).numberInfo(), 0);  // the old object is left alone
    errInfoOf(var).clear();
    EXPECT_EQ(instanceValue<ErrInfo>(o).numberInfo(), 53);
}

TEST(Invoke, ErrInfoNewTakesTheRecordAsAnArrayOfSeven) {
    ObjectRef o = createObject(u"orvcommon.ErrInfo");
    const V original(arrayOf({V(u"2.5"), V(u"d"), V(u"   "), V(), V(), V(), V()}));
    V record = original;
    EXPECT_EQ(call(o, u"ErrInfoNew", {&record}), V(int32_t{0}));
    EXPECT_EQ(instanceValue<ErrInfo>(o).descriptionInfo(), u"d");
    EXPECT_EQ(record, original);  // written back unchanged, bounds kept
    // A field that does not convert aborts and leaves the object as it was.
    record.array()->at(1) = V(u"abc");
    EXPECT_EQ(call(o, u"ErrInfoNew", {&record}), V(int32_t{eiABORTED}));
    EXPECT_EQ(instanceValue<ErrInfo>(o).numberInfo(), 2);
}

TEST(Invoke, LogMembersWriteTheirOutputsBackAndReturnAnObject) {
    test::Sandbox box;
    test::Sandbox::setDword(u"SOFTWARE\\VELN\\LogSystem", u"Trace", 3);
    ObjectRef o = createObject(u"orvcommon.ErrInfo");
    V path, trace, size;
    EXPECT_EQ(call(o, u"getInfoForLogSystem", {&path, &trace, &size}), V(true));
    EXPECT_TRUE(path.isString());
    EXPECT_EQ(trace, V(int16_t{3}));
    EXPECT_TRUE(size.is<int32_t>());
    V named(fromUtf8(box.path("named.log")));
    EXPECT_TRUE(errInfoOf(call(o, u"writeLog", {&named})).isSuccess());
}

// A member with typed array and Integer by-reference parameters, the shapes
// the file and function classes use.
TEST(Invoke, StringArrayParametersAreWrittenBackAsArraysOfStrings) {
    const Member fillRows{u"fillRows",
                          MemberKind::Method,
                          {inout(u"listRows", type::StringArray), inout(u"iCount", type::Integer)},
                          type::Void,
                          [](Call& c) {
                              Array<Text>& rows = c.arg<Array<Text>>(0);
                              const int32_t keep = rows.dimensioned() ? rows.ubound(1) : 0;
                              rows.redim(Bounds{1, keep + 2});
                              rows.at(keep + 2) = u"last";
                              c.arg<int16_t>(1) = static_cast<int16_t>(keep + 2);
                              return V();
                          }};
    ObjectRef o = makeInstance<int>(u"Probe", 0);
    V rows, count;
    invoke(o, fillRows, {&rows, &count});
    EXPECT_EQ(rows, V(arrayOf({V(Text()), V(u"last")})));
    EXPECT_EQ(count, V(int16_t{2}));
    rows = V(arrayOf({V(int32_t{5})}));
    count = V(u"0");
    invoke(o, fillRows, {&rows, &count});
    EXPECT_EQ(rows, V(arrayOf({V(Text()), V(Text()), V(u"last")})));
    EXPECT_EQ(count, V(u"3"));
}

}  // namespace
}  // namespace orv::server
