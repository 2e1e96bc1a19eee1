// Member table of NxInet in interface order. Its operations trap nothing, so
// a failure outside the internet calls reaches the caller as a run-time
// error of the call.
#include "orvcommon/inet/nxinet.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

const Type kResult = type::object(u"ErrInfo");

}  // namespace

const ClassInfo& nxInetClass() {
    static const ClassInfo info{
        u"NxInet",
        true,
        [] { return makeInstance<NxInet>(u"NxInet"); },
        {
            {u"IOpen",
             MemberKind::Method,
             {inout(u"hInternetSession", type::Long)},
             kResult,
             [](Call& c) { return errInfoObject(c.self<NxInet>().IOpen(c.arg<int32_t>(0))); }},
            // The optional Variants arrive as Missing when left out, which is
            // what the operation tests for.
            {u"IOpenExtended",
             MemberKind::Method,
             {inout(u"hInternetSession", type::Long), optionalIn(u"vntAgent", type::Variant),
              optionalIn(u"vntAccessType", type::Variant),
              optionalIn(u"vntProxyName", type::Variant),
              optionalIn(u"vntProxyBypass", type::Variant), optionalIn(u"vntFlags", type::Variant)},
             kResult,
             [](Call& c) {
                 return errInfoObject(c.self<NxInet>().IOpenExtended(c.arg<int32_t>(0), c.arg<V>(1),
                                                                     c.arg<V>(2), c.arg<V>(3),
                                                                     c.arg<V>(4), c.arg<V>(5)));
             }},
            {u"IOpenUrl",
             MemberKind::Method,
             {inout(u"hInternetSession", type::Long), inout(u"sUrl", type::String),
              inout(u"hFileReturn", type::Long)},
             kResult,
             [](Call& c) {
                 return errInfoObject(c.self<NxInet>().IOpenUrl(c.arg<int32_t>(0), c.arg<Text>(1),
                                                                c.arg<int32_t>(2)));
             }},
            {u"IReadFile",
             MemberKind::Method,
             {in(u"hFileReturn", type::Long), inout(u"sHTTPBuffer", type::String)},
             kResult,
             [](Call& c) {
                 return errInfoObject(
                     c.self<NxInet>().IReadFile(c.arg<int32_t>(0), c.arg<Text>(1)));
             }},
            {u"IClose",
             MemberKind::Method,
             {inout(u"wHandle", type::Long)},
             type::Long,
             [](Call& c) { return V(c.self<NxInet>().IClose(c.arg<int32_t>(0))); }},
            {u"Buffer",
             MemberKind::PropertyGet,
             {},
             type::String,
             [](Call& c) { return V(c.self<NxInet>().Buffer()); }},
        }};
    return info;
}
}  // namespace orv::server
