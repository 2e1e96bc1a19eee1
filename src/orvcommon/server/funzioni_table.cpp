// Member table of Funzioni in interface order: date validation, XML value
// conversion, database value conversion, CSV parsing/sorting/system
// information, string normalisation, PDF generation, then scrambling.
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

using V = orv::Variant;

const Type kEngine = type::enumeration(u"typeDataBaseEngine");
const Type kResult = type::object(u"ErrInfo");

Funzioni& self(Call& c) {
    return c.self<Funzioni>();
}

// A method taking one by-value String and returning a Boolean.
template <bool (Funzioni::*F)(const Text&)>
V textTest(Call& c) {
    return V((self(c).*F)(c.arg<Text>(0)));
}

// The normalisation and scrambling methods: input by value, output by reference.
template <ErrInfo (Funzioni::*F)(const Text&, Text&)>
V textToText(Call& c) {
    return errInfoObject((self(c).*F)(c.arg<Text>(0), c.arg<Text>(1)));
}

Member textTestMember(const char16_t* name, const char16_t* param, Invoker f) {
    return {name, MemberKind::Method, {in(param, type::String)}, type::Boolean, f};
}

Member textToTextMember(const char16_t* name, const char16_t* input, const char16_t* output,
                        Invoker f) {
    return {name,
            MemberKind::Method,
            {in(input, type::String), inout(output, type::String)},
            kResult,
            f};
}

std::vector<Member> members() {
    return {
        // Date and time validation.
        textTestMember(u"isDateYYYYMMDD", u"sDate", textTest<&Funzioni::isDateYYYYMMDD>),
        textTestMember(u"isDateYYYYMMDDHH24MISS", u"sDate",
                       textTest<&Funzioni::isDateYYYYMMDDHH24MISS>),
        textTestMember(u"isTimeHH24MISS", u"sTime", textTest<&Funzioni::isTimeHH24MISS>),
        textTestMember(u"isDateYYYYMMDDefault", u"sDate",
                       textTest<&Funzioni::isDateYYYYMMDDefault>),
        textTestMember(u"isDateYYYYMMDDefaultSpaces", u"sDate",
                       textTest<&Funzioni::isDateYYYYMMDDefaultSpaces>),
        {u"isYYYYBisestile",
         MemberKind::Method,
         {inout(u"sAnno", type::String)},
         type::Boolean,
         [](Call& c) { return V(self(c).isYYYYBisestile(c.arg<Text>(0))); }},
        {u"getDayNumberFromYYYYMMDD",
         MemberKind::Method,
         {in(u"sDateYYYYMMDD", type::String)},
         type::Integer,
         [](Call& c) { return V(self(c).getDayNumberFromYYYYMMDD(c.arg<Text>(0))); }},
        {u"getDayNumberFromDate",
         MemberKind::Method,
         {in(u"sDate", type::Date)},
         type::Integer,
         [](Call& c) { return V(self(c).getDayNumberFromDate(c.arg<Date>(0))); }},

        // XML value conversion.
        {u"getDate2Xml",
         MemberKind::Method,
         {in(u"sDate", type::String)},
         type::String,
         [](Call& c) { return V(self(c).getDate2Xml(c.arg<Text>(0))); }},
        {u"getDateFromXml",
         MemberKind::Method,
         {in(u"sDate", type::String)},
         type::Variant,
         [](Call& c) { return self(c).getDateFromXml(c.arg<Text>(0)); }},
        {u"getBool2Xml",
         MemberKind::Method,
         {in(u"vntBool", type::Variant)},
         type::Integer,
         [](Call& c) { return V(self(c).getBool2Xml(c.arg<V>(0))); }},
        {u"getBoolFromXml",
         MemberKind::Method,
         {in(u"vntBool", type::Variant)},
         type::Boolean,
         [](Call& c) { return V(self(c).getBoolFromXml(c.arg<V>(0))); }},
        {u"getDur2Xml",
         MemberKind::Method,
         {in(u"vntDur", type::Variant)},
         type::String,
         [](Call& c) { return V(self(c).getDur2Xml(c.arg<V>(0))); }},
        {u"getDurFromXml",
         MemberKind::Method,
         {in(u"vntDur", type::Variant)},
         type::Double,
         [](Call& c) { return V(self(c).getDurFromXml(c.arg<V>(0))); }},
        // The amount of work travels under the parameter name vntBool.
        {u"getWork2Xml",
         MemberKind::Method,
         {in(u"vntBool", type::Variant)},
         type::String,
         [](Call& c) { return V(self(c).getWork2Xml(c.arg<V>(0))); }},
        {u"getWorkFromXml",
         MemberKind::Method,
         {in(u"vntWork", type::Variant)},
         type::Double,
         [](Call& c) { return V(self(c).getWorkFromXml(c.arg<V>(0))); }},
        {u"getNumber2Xml",
         MemberKind::Method,
         {in(u"vntValue", type::Variant)},
         type::Variant,
         [](Call& c) { return self(c).getNumber2Xml(c.arg<V>(0)); }},
        {u"getNumberFromXml",
         MemberKind::Method,
         {in(u"vntValue", type::Variant)},
         type::Double,
         [](Call& c) { return V(self(c).getNumberFromXml(c.arg<V>(0))); }},

        // Database value conversion.
        {u"getDataForDB",
         MemberKind::Method,
         {in(u"lEngine", kEngine), in(u"sDateYYYYMMDDHHMMSS", type::Variant)},
         type::Variant,
         [](Call& c) { return self(c).getDataForDB(c.arg<int32_t>(0), c.arg<V>(1)); }},
        {u"getBoolForDB",
         MemberKind::Method,
         {in(u"lEngine", kEngine)},
         type::Integer,
         [](Call& c) { return V(self(c).getBoolForDB(c.arg<int32_t>(0))); }},
        {u"getBoolForDBx",
         MemberKind::Method,
         {in(u"lEngine", kEngine), inout(u"vntBool", type::Variant)},
         type::Variant,
         [](Call& c) { return self(c).getBoolForDBx(c.arg<int32_t>(0), c.arg<V>(1)); }},
        {u"getNumberForDB",
         MemberKind::Method,
         {in(u"lEngine", kEngine), inout(u"vntValue", type::Variant)},
         type::Variant,
         [](Call& c) { return self(c).getNumberForDB(c.arg<int32_t>(0), c.arg<V>(1)); }},

        // CSV string parsing, sorting and system information.
        {u"getValueFromCsvString",
         MemberKind::Method,
         {in(u"sStringValue", type::String), inout(u"sArrayValue", type::StringArray),
          inout(u"lNumFieldFound", type::Long)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).getValueFromCsvString(
                 c.arg<Text>(0), c.arg<Array<Text>>(1), c.arg<int32_t>(2)));
         }},
        {u"quickSortArray",
         MemberKind::Method,
         {inout(u"SortArray", type::StringArray), in(u"Low", type::Long), in(u"High", type::Long),
          in(u"iByteStart", type::Integer), in(u"iByteLen", type::Integer),
          in(u"bIgnoreUcase", type::Boolean)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).quickSortArray(c.arg<Array<Text>>(0), c.arg<int32_t>(1),
                                                         c.arg<int32_t>(2), c.arg<int16_t>(3),
                                                         c.arg<int16_t>(4), c.arg<bool>(5)));
         }},
        {u"getWinAndSistemDir",
         MemberKind::Method,
         {inout(u"sWinDir", type::String), inout(u"sSystemDir", type::String)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).getWinAndSistemDir(c.arg<Text>(0), c.arg<Text>(1)));
         }},
        {u"getSerialNumber",
         MemberKind::Method,
         {in(u"sDisk", type::String), inout(u"lSerialNumber", type::Long)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).getSerialNumber(c.arg<Text>(0), c.arg<int32_t>(1)));
         }},

        // String normalisation.
        textToTextMember(u"normStringForDb", u"sStringa", u"sStringaOut",
                         textToText<&Funzioni::normStringForDb>),
        textToTextMember(u"normStringNoCRLF", u"sStringa", u"sStringaOut",
                         textToText<&Funzioni::normStringNoCRLF>),
        textToTextMember(u"normStringOnlyAscii", u"sStringa", u"sStringaOut",
                         textToText<&Funzioni::normStringOnlyAscii>),
        textToTextMember(u"normStringOnlyApice", u"sStringa", u"sStringaOut",
                         textToText<&Funzioni::normStringOnlyApice>),
        textToTextMember(u"normStringForXML", u"sStringa", u"sStringaOut",
                         textToText<&Funzioni::normStringForXML>),
        {u"normStringOnlyApiceWithNull",
         MemberKind::Method,
         {in(u"vntStringa", type::Variant), inout(u"vntStringaOut", type::Variant)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).normStringOnlyApiceWithNull(c.arg<V>(0), c.arg<V>(1)));
         }},

        // PDF generation.
        {u"createPdfFile",
         MemberKind::Method,
         {in(u"sCommandFile", type::String), in(u"sPdfFile", type::String)},
         kResult,
         [](Call& c) {
             return errInfoObject(self(c).createPdfFile(c.arg<Text>(0), c.arg<Text>(1)));
         }},
        {u"createPdfStream",
         MemberKind::Method,
         {in(u"vntCommandStream", type::Variant), inout(u"vntPdfStream", type::Variant)},
         kResult,
         [](Call& c) { return errInfoObject(self(c).createPdfStream(c.arg<V>(0), c.arg<V>(1))); }},

        // Simple string scrambling.
        textToTextMember(u"simpleEncrypt", u"sToEncrypt", u"sEncrypted",
                         textToText<&Funzioni::simpleEncrypt>),
        textToTextMember(u"simpleDecrypt", u"sToDecrypt", u"sDecrypted",
                         textToText<&Funzioni::simpleDecrypt>),
    };
}

}  // namespace

const ClassInfo& funzioniClass() {
    static const ClassInfo info{u"Funzioni", true,
                                [] { return makeInstance<Funzioni>(u"Funzioni"); }, members()};
    return info;
}
}  // namespace orv::server
