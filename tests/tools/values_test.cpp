// Typed JSON values and command-line arguments of the script host.
#include <gtest/gtest.h>

#include "orvcommon/server/member_table.hpp"
#include "values.hpp"

namespace orv::tool {
namespace {

using json = nlohmann::ordered_json;
using V = orv::Variant;

TEST(Values, TypedJsonRoundTrips) {
    VariantArray grid(Bounds{1, 2}, Bounds{0, 1});
    grid.at(1, 0) = V(u"a");
    grid.at(2, 0) = V(int16_t{2});
    grid.at(1, 1) = V(Null{});
    grid.at(2, 1) = V(true);
    struct Case {
        V value;
        const char* text;
    } cases[] = {
        {V(u"abc"), R"({"type":"String","value":"abc"})"},
        {V(int16_t{-2}), R"({"type":"Integer","value":-2})"},
        {V(int32_t{70000}), R"({"type":"Long","value":70000})"},
        {V(0.1f), R"({"type":"Single","value":0.1})"},
        {V(2.5), R"({"type":"Double","value":2.5})"},
        {V(Currency{-123400}), R"({"type":"Currency","value":"-12.34"})"},
        {V(*Decimal::parse("1.50")), R"({"type":"Decimal","value":"1.50"})"},
        {V(orv::Date{46360.5}), R"({"type":"Date","value":"2026-12-04T12:00:00"})"},
        {V(false), R"({"type":"Boolean","value":false})"},
        {V(uint8_t{255}), R"({"type":"Byte","value":255})"},
        {V(), R"({"type":"Empty"})"},
        {V(Null{}), R"({"type":"Null"})"},
        {V(Missing{}), R"({"type":"Missing"})"},
        {V(ByteString{std::string("\x00\xff"
                                  "A",
                                  3)}),
         R"({"type":"ByteString","hex":"00ff41"})"},
        {V(grid),
         R"({"type":"Array","lbound":[1,0],"items":[[{"type":"String","value":"a"},{"type":"Null"}],)"
         R"([{"type":"Integer","value":2},{"type":"Boolean","value":true}]]})"},
        {V(ObjectRef()), R"({"type":"Nothing"})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(toJson(c.value).dump(), c.text);
        EXPECT_EQ(fromJson(json::parse(c.text)), c.value);
    }
}

TEST(Values, ErrInfoObjectsCarryTheirSevenFields) {
    ErrInfo e;
    e.fill(53, u"File not found", 1, u"readFile", V(u"C"), V(u"P"), V(u"S"));
    const json j = toJson(server::errInfoObject(e));
    EXPECT_EQ(j.dump(),
              R"({"type":"ErrInfo","value":{"numberInfo":53,"descriptionInfo":"File not found",)"
              R"("typeInfo":1,"locationInfo":"readFile","processInfo":"P","classInfo":"C",)"
              R"("stepInfo":"S"}})");
    const V back = fromJson(j);
    EXPECT_EQ(server::instanceValue<ErrInfo>(back.get<ObjectRef>()), e);
}

TEST(Values, RejectsMalformedValues) {
    for (const char* bad :
         {R"({"value":1})", R"({"type":"Integer","value":40000})", R"({"type":"Long","value":1.5})",
          R"({"type":"Byte","value":-1})", R"({"type":"String","value":1})",
          R"({"type":"Date","value":"2026-02-30"})", R"({"type":"Currency","value":"1e5"})",
          R"({"type":"ByteString","hex":"abc"})", R"({"type":"Array","lbound":[1],"items":3})",
          R"({"type":"Array","lbound":[1,1],"items":[[1],[1,2]]})",
          R"({"type":"Array","lbound":[4294967296],"items":[]})", R"({"type":"Unknown"})"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(fromJson(json::parse(bad)), UsageError);
    }
}

// Plain JSON stands for the nearest type; typed JSON is checked above.
TEST(Values, CommandLineArguments) {
    VariantArray list(Bounds{0, 1});
    list.at(0) = V(u"a");
    list.at(1) = V(int32_t{1});
    struct Case {
        const char* arg;
        V value;
    } cases[] = {
        {"plain text", V(u"plain text")},
        {"C:\\dir", V(u"C:\\dir")},
        {"http://host/x", V(u"http://host/x")},
        {"str:long:7", V(u"long:7")},
        {"str:", V(Text())},
        {"int:-32768", V(int16_t{-32768})},
        {"long:7", V(int32_t{7})},
        {"byte:200", V(uint8_t{200})},
        {"single:0.5", V(0.5f)},
        {"double:-1e3", V(-1000.0)},
        {"cur:12.3456", V(Currency{123456})},
        {"dec:0.10", V(*Decimal::parse("0.10"))},
        {"bool:true", V(true)},
        {"date:2026-12-04T06:00:00", V(orv::Date{46360.25})},
        {":empty", V()},
        {":null", V(Null{})},
        {":missing", V(Missing{})},
        {R"(json:"x")", V(u"x")},
        {"json:7", V(int32_t{7})},
        {"json:3000000000", V(3000000000.0)},
        {"json:1.5", V(1.5)},
        {"json:true", V(true)},
        {"json:null", V(Null{})},
        {R"(json:["a",1])", V(list)},
        {R"(json:{"type":"Integer","value":3})", V(int16_t{3})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        EXPECT_EQ(parseArgument(c.arg), c.value);
    }
    for (const char* bad : {"int:32768", "int:", "long:7x", "byte:256", "bool:yes", "double:abc",
                            "cur:1.2.3", "json:{", "Note: a word and a colon"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parseArgument(bad), UsageError);
    }
    // Each refused date says which part does not exist.
    struct Why {
        const char* arg;
        const char* message;
    } whys[] = {
        {"date:2023-02-30", "2023-02-30 is not a date: 2023-02 has no day 30 (it has 28 days)"},
        {"date:2024-02-30", "(it has 29 days)"},
        {"date:2026-13-01", "there is no month 13"},
        {"date:2026-01-01T24:00:00", "24:00:00 is not a time of day"},
        {"date:04/12/2026", "not an ISO date (YYYY-MM-DD"},
    };
    for (const auto& w : whys) {
        SCOPED_TRACE(w.arg);
        try {
            parseArgument(w.arg);
            ADD_FAILURE() << "accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(w.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace orv::tool
