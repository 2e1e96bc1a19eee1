// Member table of RegistryUtility: its four operations in interface order.
#include "orvcommon/registry/registry_utility.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

}  // namespace

const ClassInfo& registryUtilityClass() {
    static const ClassInfo info{
        u"RegistryUtility",
        true,
        [] { return makeInstance<RegistryUtility>(u"RegistryUtility"); },
        {
            // All three arguments are by reference and come back unchanged.
            {u"getKeyValue",
             MemberKind::Method,
             {inout(u"KeyRoot", type::Long), inout(u"KeyName", type::String),
              inout(u"SubKeyRef", type::String)},
             type::String,
             [](Call& c) {
                 return V(c.self<RegistryUtility>().getKeyValue(c.arg<int32_t>(0), c.arg<Text>(1),
                                                                c.arg<Text>(2)));
             }},
            {u"getInfoForConnection",
             MemberKind::Method,
             {in(u"sApplicationName", type::String), inout(u"sConnectionDbName", type::String),
              inout(u"sConnectionUser", type::String), inout(u"sConnectionPassword", type::String)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<RegistryUtility>().getInfoForConnection(
                     c.arg<Text>(0), c.arg<Text>(1), c.arg<Text>(2), c.arg<Text>(3)));
             }},
            {u"saveInfoForConnection",
             MemberKind::Method,
             {in(u"sApplicationName", type::String), in(u"sConnectionDbName", type::String),
              in(u"sConnectionUser", type::String), in(u"sConnectionPassword", type::String)},
             type::object(u"ErrInfo"),
             [](Call& c) {
                 return errInfoObject(c.self<RegistryUtility>().saveInfoForConnection(
                     c.arg<Text>(0), c.arg<Text>(1), c.arg<Text>(2), c.arg<Text>(3)));
             }},
            {u"isRegistryInWritePermission",
             MemberKind::Method,
             {},
             type::Boolean,
             [](Call& c) { return V(c.self<RegistryUtility>().isRegistryInWritePermission()); }},
        }};
    return info;
}
}  // namespace orv::server
