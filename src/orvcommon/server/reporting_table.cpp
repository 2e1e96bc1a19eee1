// Member table of Reporting in interface order. Its operations trap nothing:
// failures reach the caller as run-time errors of the call.
#include "orvcommon/reporting/reporting.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

// The parameters prtTesto and prtBoxWithTesto share.
std::vector<Param> textParams() {
    return {in(u"iX1", type::Variant),      in(u"iY1", type::Variant),
            inout(u"iSize", type::Variant), in(u"bBold", type::Boolean),
            in(u"bItalic", type::Boolean),  in(u"sStringa", type::String)};
}

std::vector<Param> boxWithTextParams() {
    auto p = textParams();
    p.push_back(in(u"lBgkColor", type::Long));
    p.push_back(in(u"iLenBox", type::Variant));
    return p;
}

}  // namespace

const ClassInfo& reportingClass() {
    static const ClassInfo info{
        u"Reporting",
        true,
        [] { return makeInstance<Reporting>(u"Reporting"); },
        {
            {u"outputMode",
             MemberKind::PropertyGet,
             {},
             type::enumeration(u"typeOutputReport"),
             [](Call& c) { return V(c.self<Reporting>().getOutputMode()); }},
            {u"outputMode",
             MemberKind::PropertyPut,
             {in(u"outputMode", type::enumeration(u"typeOutputReport"))},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().setOutputMode(c.arg<int32_t>(0));
                 return V();
             }},
            {u"prtBox",
             MemberKind::Method,
             {in(u"iX1", type::Variant), in(u"iY1", type::Variant), in(u"iX2", type::Variant),
              in(u"iY2", type::Variant), in(u"lColor", type::Long)},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().prtBox(c.arg<V>(0), c.arg<V>(1), c.arg<V>(2), c.arg<V>(3),
                                            c.arg<int32_t>(4));
                 return V();
             }},
            {u"prtLayoutPaginaBase",
             MemberKind::Method,
             {optionalIn(u"vntHeader", type::Variant), optionalIn(u"vntFooter", type::Variant),
              optionalIn(u"vntPageNumber", type::Variant), optionalIn(u"bWithDate", type::Variant),
              optionalIn(u"bBoldLayout", type::Variant)},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().prtLayoutPaginaBase(c.arg<V>(0), c.arg<V>(1), c.arg<V>(2),
                                                         c.arg<V>(3), c.arg<V>(4));
                 return V();
             }},
            {u"formattaStringa",
             MemberKind::Method,
             {inout(u"sStringa", type::String), in(u"iLenght", type::Integer)},
             type::String,
             [](Call& c) {
                 return V(c.self<Reporting>().formattaStringa(c.arg<Text>(0), c.arg<int16_t>(1)));
             }},
            {u"prtTesto", MemberKind::Method, textParams(), type::Void,
             [](Call& c) {
                 c.self<Reporting>().prtTesto(c.arg<V>(0), c.arg<V>(1), c.arg<V>(2), c.arg<bool>(3),
                                              c.arg<bool>(4), c.arg<Text>(5));
                 return V();
             }},
            {u"prtBoxWithTesto", MemberKind::Method, boxWithTextParams(), type::Void,
             [](Call& c) {
                 c.self<Reporting>().prtBoxWithTesto(c.arg<V>(0), c.arg<V>(1), c.arg<V>(2),
                                                     c.arg<bool>(3), c.arg<bool>(4), c.arg<Text>(5),
                                                     c.arg<int32_t>(6), c.arg<V>(7));
                 return V();
             }},
            {u"openReport",
             MemberKind::Method,
             {},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().openReport();
                 return V();
             }},
            {u"newPage",
             MemberKind::Method,
             {},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().newPage();
                 return V();
             }},
            {u"closeReport",
             MemberKind::Method,
             {},
             type::Void,
             [](Call& c) {
                 c.self<Reporting>().closeReport();
                 return V();
             }},
        }};
    return info;
}
}  // namespace orv::server
