// The type library of the automation server, described from the member
// tables and the ordered table of published classes with their fixed
// identifiers (member_table.hpp): the published enumerations and records,
// and the IDL text that mingw's `widl` compiles into the type library the Windows DLL
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
