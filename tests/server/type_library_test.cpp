// The type library's IDL against the member tables, and its identifiers.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "orvcommon/server/type_library.hpp"

namespace orv::server {
namespace {

// The committed IDL is what the Windows build compiles; it must be exactly
// what the tables generate today, so a table change cannot leave it behind.
TEST(TypeLibrary, CommittedIdlIsGeneratedFromTheTables) {
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/src/orvcommon/server/orvcommon.idl",
                     std::ios::binary);
    ASSERT_TRUE(in) << "src/orvcommon/server/orvcommon.idl is missing";
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_EQ(committed.str(), typeLibraryIdl())
        << "the member tables changed: run `make idl` and commit the IDL";
}

TEST(TypeLibrary, IdentifiersAreWellFormedAndUnique) {
    const std::regex guid("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
    std::set<std::string> seen;
    auto check = [&](const char* id, const std::string& owner) {
        EXPECT_TRUE(std::regex_match(id, guid)) << owner << ": " << id;
        EXPECT_TRUE(seen.insert(id).second) << owner << " reuses " << id;
    };
    check(kLibraryId, "library");
    for (const PublishedClass& c : publishedClasses()) {
        check(c.classId, toUtf8(c.info.name));
        check(c.dispatchIid, toUtf8(c.info.name));
    }
    for (const Enumeration& e : enumerations())
        check(e.typeId, toUtf8(e.name));
    for (const PublishedRecord& r : records())
        check(r.typeId, toUtf8(r.name));
}

}  // namespace
}  // namespace orv::server
