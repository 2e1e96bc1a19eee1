// The type library of the automation server, described from the member
// tables: the fixed identifiers of the library, its classes and their
// dispatch interfaces, the published enumerations and records, and the IDL
// text that mingw's `widl` compiles into the type library the Windows DLL
// embeds as resource 1.
//
// The interfaces are dispatch interfaces: every call goes through our own
// IDispatch::Invoke, which the member tables drive (argument coercion,
// by-reference write-back, run-time errors as exceptions). There is no
// vtable interface to keep binary-compatible, so a compiled client binds
// early through the dispatch numbers of this type library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvcommon/server/member_table.hpp"

namespace orv::server {

// Identifiers are fixed once, in one table, and never changed: a client
// compiled against one build keeps working with every later one. Each is
// the registry spelling without braces.
struct ClassIdentifiers {
    const char16_t* className;
    const char* classId;      // CLSID of the creatable (or global) class
    const char* dispatchIid;  // IID of its default dispatch interface
};
extern const char kLibraryId[];
inline constexpr int kLibraryMajor = 1;
inline constexpr int kLibraryMinor = 0;
// The identifiers of a published class; null for a name without any.
const ClassIdentifiers* identifiersOf(TextView className);
// Every class with identifiers, for the check that none is missing.
const std::vector<ClassIdentifiers>& classIdentifiers();

struct EnumerationMember {
    const char16_t* name;
    int32_t value;
};
struct Enumeration {
    const char16_t* name;
    const char* typeId;
    std::vector<EnumerationMember> members;
};
// The published enumerations, in the order the type library lists them.
const std::vector<Enumeration>& enumerations();

// A field of a published record, as the type library declares it.
struct RecordField {
    const char16_t* name;
    const char* idlType;  // "VARIANT", "short", "long", "SYSTEMTIME"
    int count = 0;        // a fixed array of that many elements, 0 for one value
};
struct PublishedRecord {
    const char16_t* name;
    const char* typeId;
    std::vector<RecordField> fields;
};
// The published records, each after the records its fields use.
const std::vector<PublishedRecord>& records();

// The IDL source of the type library, generated from the member tables.
// Raises run-time error 5 for a class or type that has no identifier or no
// IDL spelling, so a table the type library cannot describe is caught at
// generation time.
std::string typeLibraryIdl();

}  // namespace orv::server
