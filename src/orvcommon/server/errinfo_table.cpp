// Member table of ErrInfo: its 17 members in interface order.
#include "orvcommon/results/errinfo.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

const Type kTypeInfo = type::enumeration(u"typeInfoCostant");

}  // namespace

const ClassInfo& errInfoClass() {
    static const ClassInfo info{
        u"ErrInfo",
        true,
        [] { return makeInstance<ErrInfo>(u"ErrInfo"); },
        {
            // The fill operation carries the class's name on the automation
            // surface; it is ErrInfo::fill in C++.
            {u"ErrInfo",
             MemberKind::Method,
             {in(u"lNumberInfo", type::Long), in(u"sDescriptionInfo", type::String),
              in(u"iTypeInfo", kTypeInfo), in(u"sLocationInfo", type::String),
              optionalIn(u"vntClassInfo", type::Variant),
              optionalIn(u"vntProcessInfo", type::Variant),
              optionalIn(u"vntStepInfo", type::Variant)},
             type::Long,
             [](Call& c) {
                 return V(c.self<ErrInfo>().fill(c.arg<int32_t>(0), c.arg<Text>(1),
                                                 c.arg<int32_t>(2), c.arg<Text>(3), c.arg<V>(4),
                                                 c.arg<V>(5), c.arg<V>(6)));
             }},
            {u"ErrInfoNew",
             MemberKind::Method,
             {inout(u"structErrInfo", type::record(kStructError))},
             type::Long,
             [](Call& c) {
                 VariantArray& a = c.arg<VariantArray>(0);
                 structError record = structErrorFromArray(a);
                 const int32_t status = c.self<ErrInfo>().ErrInfoNew(record);
                 a = structErrorToArray(record, a.lbound(1));
                 return V(status);
             }},
            {u"getAttrEqualValue",
             MemberKind::Method,
             {},
             type::String,
             [](Call& c) { return V(c.self<ErrInfo>().getAttrEqualValue()); }},
            {u"clone",
             MemberKind::Method,
             {inout(u"oObject", type::object(u"ErrInfo"))},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 // oObject receives a new object; the one it held is left as it was.
                 ErrInfo copy;
                 ErrInfo result = c.self<ErrInfo>().clone(copy);
                 c.arg<V>(0) = errInfoObject(std::move(copy));
                 return errInfoObject(std::move(result));
             }},
            {u"getInfo",
             MemberKind::Method,
             {inout(u"lNumberInfo", type::Long), inout(u"sDescriptionInfo", type::String),
              inout(u"iTypeInfo", kTypeInfo), inout(u"sLocationInfo", type::String),
              optionalInOut(u"vntClassInfo", type::Variant),
              optionalInOut(u"vntProcessInfo", type::Variant),
              optionalInOut(u"vntStepInfo", type::Variant)},
             type::Long,
             [](Call& c) {
                 return V(c.self<ErrInfo>().getInfo(
                     c.arg<int32_t>(0), c.arg<Text>(1), c.arg<int32_t>(2), c.arg<Text>(3),
                     c.optionalRef(4), c.optionalRef(5), c.optionalRef(6)));
             }},
            {u"runInitialize",
             MemberKind::Method,
             {},
             type::Void,
             [](Call& c) {
                 c.self<ErrInfo>().runInitialize();
                 return V();
             }},
            {u"numberInfo",
             MemberKind::PropertyGet,
             {},
             type::Long,
             [](Call& c) { return V(c.self<ErrInfo>().numberInfo()); }},
            {u"descriptionInfo",
             MemberKind::PropertyGet,
             {},
             type::String,
             [](Call& c) { return V(c.self<ErrInfo>().descriptionInfo()); }},
            {u"typeInfo",
             MemberKind::PropertyGet,
             {},
             type::Integer,
             [](Call& c) { return V(c.self<ErrInfo>().typeInfo()); }},
            {u"locationInfo",
             MemberKind::PropertyGet,
             {},
             type::String,
             [](Call& c) { return V(c.self<ErrInfo>().locationInfo()); }},
            {u"processInfo",
             MemberKind::PropertyGet,
             {},
             type::String,
             [](Call& c) { return V(c.self<ErrInfo>().processInfo()); }},
            {u"classInfo",
             MemberKind::PropertyGet,
             {},
             type::String,
             [](Call& c) { return V(c.self<ErrInfo>().classInfo()); }},
            {u"getInfoForLogSystem",
             MemberKind::Method,
             {inout(u"sLogPath", type::String), inout(u"iTrace", type::Integer),
              inout(u"lByteSwitch", type::Long)},
             type::Boolean,
             [](Call& c) {
                 return V(c.self<ErrInfo>().getInfoForLogSystem(c.arg<Text>(0), c.arg<int16_t>(1),
                                                                c.arg<int32_t>(2)));
             }},
            {u"stepInfo",
             MemberKind::PropertyGet,
             {},
             type::Variant,
             [](Call& c) { return c.self<ErrInfo>().stepInfo(); }},
            {u"clear",
             MemberKind::Method,
             {},
             type::Void,
             [](Call& c) {
                 c.self<ErrInfo>().clear();
                 return V();
             }},
            {u"isSuccess",
             MemberKind::Method,
             {},
             type::Boolean,
             [](Call& c) { return V(c.self<ErrInfo>().isSuccess()); }},
            {u"writeLog",
             MemberKind::Method,
             {optionalIn(u"sErrLogName", type::Variant)},
             type::object(u"ErrInfo"),
             [](Call& c) { return errInfoObject(c.self<ErrInfo>().writeLog(c.arg<V>(0))); }},
        }};
    return info;
}
}  // namespace orv::server
