#include "orvcommon/server/type_library.hpp"

#include <sstream>

#include "orvcommon/results/enums.hpp"

namespace orv::server {

const std::vector<Enumeration>& enumerations() {
    static const std::vector<Enumeration> all{
        {u"errInfoCostant",
         "62b7e8f7-1a27-437e-9f48-7ae42933db72",
         {{u"eiSUCCESFULL", eiSUCCESFULL},
          {u"eiABORTED", eiABORTED},
          {u"eiNORECORD", eiNORECORD},
          {u"eiNOVALIDVALUE", eiNOVALIDVALUE},
          {u"eiREGISTRYERROR", eiREGISTRYERROR}}},
        {u"typeInfoCostant",
         "44144d04-18a9-4417-866a-bc80aba8d83b",
         {{u"eiERRORTYPE", eiERRORTYPE},
          {u"eiWARNINGTYPE", eiWARNINGTYPE},
          {u"eiINFORMATIONTYPE", eiINFORMATIONTYPE},
          {u"eiDEBUGTYPE", eiDEBUGTYPE}}},
        {u"gcmFileUtility",
         "794a50be-88ff-4b48-b1a4-f6cd5df542ce",
         {{u"gcmfileutilityFILENOTFOUND", gcmfileutilityFILENOTFOUND}}},
        {u"gcmFunzioni",
         "4d8ed16a-2691-45d7-9db1-91edacbecdd9",
         {{u"gcmfunzioniDATEINVALID", gcmfunzioniDATEINVALID}}},
        {u"gcmRegistryUtylity",
         "4e16dcbf-1fb6-429a-9842-c362dcf67219",
         {{u"gcmregistryutilityKEYNOTFOUND", gcmregistryutilityKEYNOTFOUND}}},
        {u"typeOutputReport",
         "0c7bac91-6ea3-43d6-a46d-6fa39bba1a95",
         {{u"torFORM", torFORM}, {u"torPRINTER", torPRINTER}}},
        {u"typeDataBaseEngine",
         "edc80548-9420-4e3f-b9cc-78727f1cca5d",
         {{u"dbengineORACLE", dbengineORACLE},
          {u"dbengineMSACCESS", dbengineMSACCESS},
          {u"dbengineSQLSERVER", dbengineSQLSERVER}}},
        {u"typedbExistUniqueObject",
         "8c216de1-50ce-4b1b-b6c7-88aa9388b137",
         {{u"dbeuoUNIQUE", dbeuoUNIQUE},
          {u"dbeuoMORE", dbeuoMORE},
          {u"dbeuoNOTFOUND", dbeuoNOTFOUND}}},
    };
    return all;
}

const std::vector<PublishedRecord>& records() {
    static const std::vector<PublishedRecord> all = [] {
        PublishedRecord structErr{kStructError.name, "6872ae2e-e785-4933-8045-712740b3d87f", {}};
        for (const char16_t* f : kStructError.fields)
            structErr.fields.push_back({f, "VARIANT"});
        // The operating system's records. Their 16-bit fields are declared
        // signed, as automation clients' 16-bit integer is; the platform
        // reads SYSTEMTIME's fields as unsigned. The time-zone names hold
        // 33 units, one more than the operating system's own record.
        PublishedRecord systemTime{u"SYSTEMTIME",
                                   "713a99b1-e8d4-48d0-a32f-60c9a9f87133",
                                   {{u"wYear", "short"},
                                    {u"wMonth", "short"},
                                    {u"wDayOfWeek", "short"},
                                    {u"wDay", "short"},
                                    {u"wHour", "short"},
                                    {u"wMinute", "short"},
                                    {u"wSecond", "short"},
                                    {u"wMilliseconds", "short"}}};
        PublishedRecord timeZone{u"TIME_ZONE_INFORMATION",
                                 "e15fa072-ac6a-46ae-bfaf-0d35088837af",
                                 {{u"Bias", "long"},
                                  {u"StandardName", "short", 33},
                                  {u"StandardDate", "SYSTEMTIME"},
                                  {u"StandardBias", "long"},
                                  {u"DaylightName", "short", 33},
                                  {u"DaylightDate", "SYSTEMTIME"},
                                  {u"DaylightBias", "long"}}};
        return std::vector<PublishedRecord>{structErr, systemTime, timeZone};
    }();
    return all;
}

namespace {

const Enumeration* findEnumeration(TextView name) {
    for (const Enumeration& e : enumerations())
        if (name == e.name) return &e;
    return nullptr;
}

std::string interfaceName(TextView className) {
    return "_" + toUtf8(className);
}

// The IDL spelling of a declared type.
std::string idlType(const Type& t) {
    switch (t.code) {
        case TypeCode::Void:
            return "void";
        case TypeCode::Integer:
            return "short";
        case TypeCode::Long:
            // A published enumeration travels as a Long under its own name.
            if (TextView(t.name) == u"Long") return "long";
            if (!findEnumeration(t.name)) raise(err::kInvalidArgument);
            return toUtf8(t.name);
        case TypeCode::Single:
            return "float";
        case TypeCode::Double:
            return "double";
        case TypeCode::Currency:
            return "CURRENCY";
        case TypeCode::Date:
            return "DATE";
        case TypeCode::String:
            return "BSTR";
        case TypeCode::Boolean:
            return "VARIANT_BOOL";
        case TypeCode::Byte:
            return "unsigned char";
        case TypeCode::Decimal:
            return "DECIMAL";
        case TypeCode::Variant:
            return "VARIANT";
        case TypeCode::Object:
            if (!findPublishedClass(t.name)) raise(err::kInvalidArgument);
            return interfaceName(t.name) + "*";
        case TypeCode::StringArray:
            return "SAFEARRAY(BSTR)";
        case TypeCode::VariantArray:
            return "SAFEARRAY(VARIANT)";
        case TypeCode::Record:
            return toUtf8(t.record->name);
    }
    raise(err::kInvalidArgument);
}

std::string parameter(const Param& p) {
    // Only a Variant can be left out without a default value.
    if (p.optional && p.type.code != TypeCode::Variant) raise(err::kInvalidArgument);
    std::string attrs = p.passing == Passing::ByReference ? "in, out" : "in";
    if (p.optional) attrs += ", optional";
    std::string type = idlType(p.type);
    if (p.passing == Passing::ByReference) type += "*";
    return "[" + attrs + "] " + type + " " + toUtf8(p.name);
}

void writeMember(std::ostringstream& out, const ClassInfo& c, size_t i) {
    const Member& m = c.members[i];
    out << "        [id(" << c.dispatchId(i) << ")";
    if (m.kind == MemberKind::PropertyGet) out << ", propget";
    if (m.kind == MemberKind::PropertyPut)
        out << (m.params.size() == 1 && m.params[0].type.code == TypeCode::Object ? ", propputref"
                                                                                  : ", propput");
    out << "] " << idlType(m.result) << " " << toUtf8(m.name) << "(";
    for (size_t k = 0; k < m.params.size(); ++k)
        out << (k ? ", " : "") << parameter(m.params[k]);
    out << ");\n";
}

}  // namespace

std::string typeLibraryIdl() {
    std::ostringstream out;
    out << "// The type library of orvcommon, generated from the member tables by\n"
           "// `orv idl`. Do not edit: change a table, then run `make idl`.\n"
           "import \"oaidl.idl\";\n\n"
        << "[uuid(" << kLibraryId << "), version(" << kLibraryMajor << "." << kLibraryMinor
        << "), helpstring(\"orvcommon utility components\")]\n"
           "library orvcommon\n{\n"
           "    importlib(\"stdole2.tlb\");\n";

    for (const Enumeration& e : enumerations()) {
        out << "\n    typedef [uuid(" << e.typeId << ")] enum " << toUtf8(e.name) << " {\n";
        for (size_t k = 0; k < e.members.size(); ++k)
            out << "        " << toUtf8(e.members[k].name) << " = " << e.members[k].value
                << (k + 1 < e.members.size() ? ",\n" : "\n");
        out << "    } " << toUtf8(e.name) << ";\n";
    }
    for (const PublishedRecord& r : records()) {
        out << "\n    typedef [uuid(" << r.typeId << ")] struct " << toUtf8(r.name) << " {\n";
        for (const RecordField& f : r.fields) {
            out << "        " << f.idlType << " " << toUtf8(f.name);
            if (f.count) out << "[" << f.count << "]";
            out << ";\n";
        }
        out << "    } " << toUtf8(r.name) << ";\n";
    }

    // Declared first so that any interface may name any class.
    out << "\n";
    for (const PublishedClass& p : publishedClasses())
        out << "    dispinterface " << interfaceName(p.info.name) << ";\n";

    for (const PublishedClass& p : publishedClasses()) {
        const ClassInfo* c = &p.info;
        out << "\n    [uuid(" << p.dispatchIid << "), hidden]\n    dispinterface "
            << interfaceName(c->name) << " {\n    properties:\n    methods:\n";
        for (size_t i = 0; i < c->members.size(); ++i)
            writeMember(out, *c, i);
        out << "    };\n";
    }
    for (const PublishedClass& p : publishedClasses()) {
        const ClassInfo* c = &p.info;
        // The member-less global class is reachable without creating it.
        out << "\n    [uuid(" << p.classId << ")"
            << (c->creatable ? "" : ", appobject, noncreatable") << "]\n    coclass "
            << toUtf8(c->name) << " {\n        [default] dispinterface " << interfaceName(c->name)
            << ";\n    };\n";
    }
    out << "};\n";
    return out.str();
}

}  // namespace orv::server
