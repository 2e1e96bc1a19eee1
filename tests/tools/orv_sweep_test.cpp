// Every member of every published class called the way `orv run` calls it,
// with arguments no caller should send (wrong types, range ends, overflowing
// bounds, ragged, three-dimensional and nested arrays): each call may be
// refused, raise a run-time error or return; none may crash, hang or let
// anything else escape.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "orvcommon/server/member_table.hpp"
#include "support/environment.hpp"
#include "support/sandbox.hpp"
#include "values.hpp"

namespace orv {
namespace {

using json = nlohmann::ordered_json;

// Malformed argument values, as a script would write them.
std::vector<json> malformedValues() {
    const auto array = [](json lbound, json items) {
        return json{{"type", "Array"}, {"lbound", std::move(lbound)}, {"items", std::move(items)}};
    };
    return {
        nullptr,
        json{{"type", "Empty"}},
        json{{"type", "Missing"}},
        "",
        std::string("a\0b", 3),
        std::string(70000, 'x'),  // longer than any 16-bit length
        "-1e400",
        INT32_MIN,
        INT32_MAX,
        -1,
        1e308,
        json{{"type", "Date"}, {"value", "0100-01-01T00:00:01"}},
        json{{"type", "ByteString"}, {"hex", "ff00fe"}},
        json{{"type", "ErrInfo"}, {"value", json::object()}},
        json{{"type", "Nothing"}},
        array({INT32_MAX}, {"a", "b"}),                           // bounds overflow: error 9
        array({INT32_MIN}, json::array()),                        // empty below the lowest index
        array({INT32_MIN, INT32_MIN}, {{"a", "b"}}),              // the lowest indexes
        array({INT32_MAX}, {"only"}),                             // the highest index
        array({INT32_MAX, INT32_MAX}, {{"a"}}),                   // the highest indexes
        array({0, 0, 0}, json::array()),                          // three dimensions
        array({1, 1}, {{"a"}, {"b", "c"}}),                       // ragged rows
        array({1, 1}, json::array()),                             // two empty dimensions
        array(json::array(), json::array()),                      // never dimensioned
        {{{"nested"}}, {1, 2}},                                   // arrays in arrays
        array({1}, {nullptr, 1e308, json{{"type", "Nothing"}}}),  // odd elements
    };
}

// A value each parameter type accepts, for the parameters not under test.
json plausible(const server::Type& t) {
    switch (t.code) {
        case server::TypeCode::Integer:
        case server::TypeCode::Long:
        case server::TypeCode::Byte:
            return 1;
        case server::TypeCode::Single:
        case server::TypeCode::Double:
        case server::TypeCode::Currency:
        case server::TypeCode::Decimal:
            return 1.5;
        case server::TypeCode::Date:
            return json{{"type", "Date"}, {"value", "2024-02-29"}};
        case server::TypeCode::Boolean:
            return true;
        case server::TypeCode::Object:
            return json{{"type", "ErrInfo"}, {"value", json::object()}};
        case server::TypeCode::StringArray:
        case server::TypeCode::VariantArray:
            return json{{"type", "Array"}, {"lbound", {1}}, {"items", {"b;a", "a;b"}}};
        case server::TypeCode::Record:
            return json::array({53, "text", 1, "loc", nullptr, nullptr, nullptr});
        default:
            return "20240229";
    }
}

enum Outcome { kReturned, kRuntimeError, kRefused, kOtherException };

// One call as `orv run` makes it: the values built from JSON, a fresh
// object, the member invoked, the result and arguments turned back into
// JSON for printing.
Outcome runCall(const server::ClassInfo& cls, const server::Member& member, const json& args) {
    try {
        std::vector<Variant> values;
        for (const json& a : args)
            values.push_back(tool::fromJson(a));
        std::vector<Variant*> ptrs;
        for (Variant& v : values)
            ptrs.push_back(&v);
        ObjectRef object = server::createObject(Text(server::kLibraryName) + u"." + cls.name);
        const Variant result = server::invoke(object, member.name, member.kind, ptrs);
        json shown = json::array();
        for (const Variant& v : values)
            shown.push_back(tool::toJson(v));
        (void)tool::dumpLine(json{{"result", tool::toJson(result)}, {"args", shown}});
        return kReturned;
    } catch (const tool::UsageError&) {
        return kRefused;  // the value could not be built: a usage error of the tool
    } catch (const RuntimeError&) {
        return kRuntimeError;
    } catch (const std::bad_alloc&) {
        return kRuntimeError;  // the tool reports it as error 7
    } catch (...) {
        return kOtherException;
    }
}

TEST(OrvSweep, MalformedArgumentsToEveryMemberNeverCrashOrHang) {
    test::Sandbox box;
    // Whatever the calls write stays in the sandbox: files by relative name,
    // PDF command files, printed reports; no window opens.
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(box.dir());
    std::filesystem::create_directory(box.path("tmp"));
    const test::ScopedEnv tmp("TMPDIR", box.path("tmp").c_str());
    const test::ScopedEnv printer("ORV_PRINTER", ("file:" + box.path("printed.pdf")).c_str());
    const test::ScopedEnv display("DISPLAY", nullptr), png("ORV_PREVIEW_PNG", nullptr),
        proxy("http_proxy", nullptr);

    // Each malformed value in each parameter (the others plausible), each in
    // every parameter at once, and the wrong numbers of arguments.
    std::map<Outcome, int> outcomes;
    const std::vector<json> bad = malformedValues();
    for (const server::ClassInfo* c : server::classes()) {
        if (!c->creatable) continue;
        for (const server::Member& m : c->members) {
            auto run = [&](const json& args) {
                const Outcome o = runCall(*c, m, args);
                ++outcomes[o];
                if (o != kOtherException) return;
                ADD_FAILURE()
                    << "exception other than a run-time error: " << toUtf8(c->name) << "."
                    << toUtf8(m.name) << " "
                    << args.dump(-1, ' ', false, json::error_handler_t::replace).substr(0, 160);
            };
            json base = json::array();
            for (const server::Param& p : m.params)
                base.push_back(plausible(p.type));
            for (const json& value : bad) {
                for (size_t i = 0; i < m.params.size(); ++i) {
                    json args = base;
                    args[i] = value;
                    run(args);
                }
                run(json(std::vector<json>(std::max<size_t>(m.params.size(), 1), value)));
            }
            run(json::array());
            json tooMany = base;
            for (int i = 0; i < 3; ++i)
                tooMany.push_back("extra");
            run(tooMany);
        }
    }
    std::filesystem::current_path(cwd);

    // The sweep reaches the members: most calls get past the values.
    EXPECT_GT(outcomes[kReturned] + outcomes[kRuntimeError], outcomes[kRefused]);
}

}  // namespace
}  // namespace orv
