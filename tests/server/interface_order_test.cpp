// Every published class's member table against its interface order.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

// Interface order of each class: methods by name, properties as "get name"
// and "put name". Adding a class is one entry here.
const std::map<std::string, std::vector<std::string>>& expectedOrders() {
    static const std::map<std::string, std::vector<std::string>> orders{
        {"ErrInfo",
         {"ErrInfo", "ErrInfoNew", "getAttrEqualValue", "clone", "getInfo", "runInitialize",
          "get numberInfo", "get descriptionInfo", "get typeInfo", "get locationInfo",
          "get processInfo", "get classInfo", "getInfoForLogSystem", "get stepInfo", "clear",
          "isSuccess", "writeLog"}},
        {"NxGlobal", {}},
        {"FileUtility",
         {"get daylightoffset", "put daylightoffset", "get utcoffset", "put utcoffset",
          "numFileInDir", "UpdateFileTime", "writeFile", "writeCsvFileFromArray",
          "getCsvStringFromArray", "readFile", "getArrayFromCsvFile", "readAndLoadInArrayByCRLF",
          "readBinaryFile", "ooReadFile"}},
        {"Funzioni",
         {// Date and time validation.
          "isDateYYYYMMDD", "isDateYYYYMMDDHH24MISS", "isTimeHH24MISS", "isDateYYYYMMDDefault",
          "isDateYYYYMMDDefaultSpaces", "isYYYYBisestile", "getDayNumberFromYYYYMMDD",
          "getDayNumberFromDate",
          // XML value conversion.
          "getDate2Xml", "getDateFromXml", "getBool2Xml", "getBoolFromXml", "getDur2Xml",
          "getDurFromXml", "getWork2Xml", "getWorkFromXml", "getNumber2Xml", "getNumberFromXml",
          // Database value conversion.
          "getDataForDB", "getBoolForDB", "getBoolForDBx", "getNumberForDB",
          // CSV parsing, sorting and system information.
          "getValueFromCsvString", "quickSortArray", "getWinAndSistemDir", "getSerialNumber",
          // String normalisation.
          "normStringForDb", "normStringNoCRLF", "normStringOnlyAscii", "normStringOnlyApice",
          "normStringForXML", "normStringOnlyApiceWithNull",
          // PDF generation.
          "createPdfFile", "createPdfStream",
          // Simple string scrambling.
          "simpleEncrypt", "simpleDecrypt"}},
        {"RegistryUtility",
         {"getKeyValue", "getInfoForConnection", "saveInfoForConnection",
          "isRegistryInWritePermission"}},
        {"Reporting",
         {"get outputMode", "put outputMode", "prtBox", "prtLayoutPaginaBase", "formattaStringa",
          "prtTesto", "prtBoxWithTesto", "openReport", "newPage", "closeReport"}},
        {"NxInet", {"IOpen", "IOpenExtended", "IOpenUrl", "IReadFile", "IClose", "get Buffer"}},
    };
    return orders;
}

std::string entry(const Member& m) {
    const std::string name = toUtf8(m.name);
    switch (m.kind) {
        case MemberKind::PropertyGet:
            return "get " + name;
        case MemberKind::PropertyPut:
            return "put " + name;
        case MemberKind::Method:
            break;
    }
    return name;
}

TEST(InterfaceOrder, EveryTableFollowsItsClassInterfaceOrder) {
    std::set<std::string> seen;
    for (const ClassInfo* cls : classes()) {
        const std::string name = toUtf8(cls->name);
        SCOPED_TRACE(name);
        seen.insert(name);
        auto it = expectedOrders().find(name);
        ASSERT_NE(it, expectedOrders().end()) << "no expected interface order for " << name;
        std::vector<std::string> actual;
        for (const Member& m : cls->members)
            actual.push_back(entry(m));
        EXPECT_EQ(actual, it->second);
    }
    for (const auto& [name, order] : expectedOrders())
        EXPECT_TRUE(seen.count(name)) << name << " is not registered";
}

TEST(InterfaceOrder, TablesAreWellFormed) {
    for (const ClassInfo* cls : classes()) {
        SCOPED_TRACE(toUtf8(cls->name));
        EXPECT_EQ(cls->creatable, cls->create != nullptr);
        for (size_t i = 0; i < cls->members.size(); ++i) {
            const Member& m = cls->members[i];
            SCOPED_TRACE(toUtf8(m.name));
            EXPECT_NE(m.invoke, nullptr);
            EXPECT_EQ(ClassInfo::slotOf(i), static_cast<int32_t>(i) + 1);
            // Optional parameters come last, and only Variants may be left out.
            bool optionalSeen = false;
            std::set<Text> names;
            for (const Param& p : m.params) {
                if (optionalSeen) {
                    EXPECT_TRUE(p.optional) << toUtf8(p.name);
                }
                optionalSeen = optionalSeen || p.optional;
                if (p.optional) {
                    EXPECT_EQ(p.type.code, TypeCode::Variant) << toUtf8(p.name);
                }
                EXPECT_TRUE(names.insert(toLower(p.name)).second) << toUtf8(p.name);
            }
            if (m.kind == MemberKind::PropertyGet) {
                EXPECT_NE(m.result.code, TypeCode::Void);
            }
            if (m.kind == MemberKind::PropertyPut) {
                EXPECT_EQ(m.params.size(), 1u);
            }
        }
    }
}

TEST(InterfaceOrder, PropertyGetAndPutShareADispatchNumber) {
    ClassInfo c{
        u"Probe",
        false,
        nullptr,
        {{u"a", MemberKind::Method, {}, type::Void, nullptr},
         {u"field", MemberKind::PropertyGet, {}, type::Integer, nullptr},
         {u"Field", MemberKind::PropertyPut, {in(u"v", type::Integer)}, type::Void, nullptr},
         {u"b", MemberKind::Method, {}, type::Void, nullptr}}};
    EXPECT_EQ(c.dispatchId(0), 1);
    EXPECT_EQ(c.dispatchId(1), 2);
    EXPECT_EQ(c.dispatchId(2), 2);
    EXPECT_EQ(c.dispatchId(3), 3);
}

}  // namespace
}  // namespace orv::server
