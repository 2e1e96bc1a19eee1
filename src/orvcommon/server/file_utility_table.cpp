// Member table of FileUtility: the two public fields as property pairs, then
// its ten operations, in interface order.
#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

// The attribute set is a plain signed 32-bit value on the interface.
const Type kAttributes = type::Long;

ErrInfo updateFileTime(Call& c) {
    return c.self<FileUtility>().UpdateFileTime(c.arg<V>(0), c.arg<V>(1), c.arg<V>(2), c.arg<V>(3),
                                                c.arg<V>(4), c.arg<V>(5), c.arg<V>(6), c.arg<V>(7));
}

}  // namespace

const ClassInfo& fileUtilityClass() {
    static const ClassInfo info{
        u"FileUtility",
        true,
        [] { return makeInstance<FileUtility>(u"FileUtility"); },
        {
            {u"daylightoffset",
             MemberKind::PropertyGet,
             {},
             type::Integer,
             [](Call& c) { return V(c.self<FileUtility>().getDaylightoffset()); }},
            {u"daylightoffset",
             MemberKind::PropertyPut,
             {in(u"daylightoffset", type::Integer)},
             type::Void,
             [](Call& c) {
                 c.self<FileUtility>().setDaylightoffset(c.arg<int16_t>(0));
                 return V();
             }},
            {u"utcoffset",
             MemberKind::PropertyGet,
             {},
             type::Integer,
             [](Call& c) { return V(c.self<FileUtility>().getUtcoffset()); }},
            {u"utcoffset",
             MemberKind::PropertyPut,
             {in(u"utcoffset", type::Integer)},
             type::Void,
             [](Call& c) {
                 c.self<FileUtility>().setUtcoffset(c.arg<int16_t>(0));
                 return V();
             }},
            {u"numFileInDir",
             MemberKind::Method,
             {in(u"sDirectory", type::String), inout(u"iNumFile", type::Integer)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(
                     c.self<FileUtility>().numFileInDir(c.arg<Text>(0), c.arg<int16_t>(1)));
             }},
            {u"UpdateFileTime",
             MemberKind::Method,
             {inout(u"fname", type::Variant), inout(u"fyear", type::Variant),
              inout(u"fmonth", type::Variant), inout(u"fdayofweek", type::Variant),
              inout(u"fday", type::Variant), inout(u"fhour", type::Variant),
              inout(u"fmin", type::Variant), inout(u"fsec", type::Variant)},
             type::object(u"ErrInfo"),
             [](Call& c) { return errInfoObject(updateFileTime(c)); }},
            {u"writeFile",
             MemberKind::Method,
             {in(u"sFileName", type::String), in(u"attributeFile", kAttributes),
              in(u"sTextFile", type::String)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().writeFile(
                     c.arg<Text>(0), c.arg<int32_t>(1), c.arg<Text>(2)));
             }},
            {u"writeCsvFileFromArray",
             MemberKind::Method,
             {in(u"sFileName", type::String), inout(u"sArrayValue", type::StringArray),
              in(u"lNumRows", type::Long), in(u"lNumColumns", type::Long)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().writeCsvFileFromArray(
                     c.arg<Text>(0), c.arg<Array<Text>>(1), c.arg<int32_t>(2), c.arg<int32_t>(3)));
             }},
            {u"getCsvStringFromArray",
             MemberKind::Method,
             {inout(u"sStringFile", type::String), inout(u"sArrayValue", type::StringArray),
              in(u"lNumRows", type::Long), in(u"lNumColumns", type::Long),
              in(u"sDelim", type::String)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().getCsvStringFromArray(
                     c.arg<Text>(0), c.arg<Array<Text>>(1), c.arg<int32_t>(2), c.arg<int32_t>(3),
                     c.arg<Text>(4)));
             }},
            {u"readFile",
             MemberKind::Method,
             {in(u"sFileName", type::String), inout(u"sTextFile", type::String)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(
                     c.self<FileUtility>().readFile(c.arg<Text>(0), c.arg<Text>(1)));
             }},
            {u"getArrayFromCsvFile",
             MemberKind::Method,
             {in(u"sFileName", type::String), inout(u"sArrayValue", type::StringArray),
              in(u"lNumRows", type::Long), inout(u"lNumColumns", type::Long)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().getArrayFromCsvFile(
                     c.arg<Text>(0), c.arg<Array<Text>>(1), c.arg<int32_t>(2), c.arg<int32_t>(3)));
             }},
            {u"readAndLoadInArrayByCRLF",
             MemberKind::Method,
             {in(u"sFileName", type::String), inout(u"listRows", type::StringArray),
              inout(u"lNumRows", type::Long)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().readAndLoadInArrayByCRLF(
                     c.arg<Text>(0), c.arg<Array<Text>>(1), c.arg<int32_t>(2)));
             }},
            {u"readBinaryFile",
             MemberKind::Method,
             {in(u"sFileName", type::String), inout(u"vntTextFile", type::Variant)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(
                     c.self<FileUtility>().readBinaryFile(c.arg<Text>(0), c.arg<V>(1)));
             }},
            {u"ooReadFile",
             MemberKind::Method,
             {in(u"sFlLename", type::String), in(u"iObjectLen", type::Integer),
              in(u"lStartPosition", type::Long), inout(u"iNumObject", type::Integer),
              inout(u"sOList", type::StringArray)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<FileUtility>().ooReadFile(
                     c.arg<Text>(0), c.arg<int16_t>(1), c.arg<int32_t>(2), c.arg<int16_t>(3),
                     c.arg<Array<Text>>(4)));
             }},
        }};
    return info;
}
}  // namespace orv::server
