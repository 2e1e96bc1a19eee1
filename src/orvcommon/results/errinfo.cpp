#include "orvcommon/results/errinfo.hpp"

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

Text optionalText(const Variant& v) {
    return v.isMissing() ? Text() : toText(v);
}

// A record field is used when it is neither Empty nor Null and its text,
// trimmed of spaces, is not empty.
bool used(const Variant& v) {
    if (v.isEmpty() || v.isNull() || v.isMissing()) return false;
    return !trimSpaces(toText(v)).empty();
}

}  // namespace

int32_t ErrInfo::fill(int32_t lNumberInfo, const Text& sDescriptionInfo, int32_t iTypeInfo,
                      const Text& sLocationInfo, const Variant& vntClassInfo,
                      const Variant& vntProcessInfo, const Variant& vntStepInfo) {
    number_ = lNumberInfo;
    description_ = sDescriptionInfo;
    if (iTypeInfo < INT16_MIN || iTypeInfo > INT16_MAX) raise(err::kOverflow);
    type_ = static_cast<int16_t>(iTypeInfo);
    location_ = sLocationInfo;
    process_ = optionalText(vntProcessInfo);
    class_ = optionalText(vntClassInfo);
    step_ = optionalText(vntStepInfo);
    return 0;
}

int32_t ErrInfo::ErrInfoNew(structError& s) {
    int32_t status = 0;
    if (used(s.vntNumberInfo)) {
        if (isNumeric(s.vntNumberInfo))
            number_ = toInt32(s.vntNumberInfo);
        else
            status = eiABORTED;
    }
    if (used(s.vntDescriptionInfo)) description_ = toText(s.vntDescriptionInfo);
    if (used(s.vntTypeInfo)) {
        if (isNumeric(s.vntTypeInfo))
            type_ = toInt16(s.vntTypeInfo);
        else
            status = eiABORTED;
    }
    if (used(s.vntLocationInfo)) location_ = toText(s.vntLocationInfo);
    if (used(s.vntProcessInfo)) process_ = toText(s.vntProcessInfo);
    if (used(s.vntClassInfo)) class_ = toText(s.vntClassInfo);
    if (used(s.vntStepInfo)) step_ = toText(s.vntStepInfo);
    return status;
}

Text ErrInfo::getAttrEqualValue() const {
    Text out;
    auto item = [&](const char16_t* key, const Text& value) {
        out += key;
        out += u"=\"";
        out += value;
        out += u"\" ";
    };
    if (number_ > 0) item(u"vntNumberInfo", decimalText(number_));
    if (Text t = trimSpaces(description_); !t.empty()) item(u"vntDescriptionInfo", t);
    if (type_ > 0) item(u"vntTypeInfo", decimalText(type_));
    if (Text t = trimSpaces(location_); !t.empty()) item(u"vntLocationInfo", t);
    if (Text t = trimSpaces(process_); !t.empty()) item(u"vntProcessInfo", t);
    if (Text t = trimSpaces(class_); !t.empty()) item(u"vntClassInfo", t);
    if (Text t = trimSpaces(step_); !t.empty()) item(u"vntStepInfo", t);
    return out;
}

ErrInfo ErrInfo::clone(ErrInfo& oObject) const {
    const Trap trap{u"clone", Origin{Text(), platform::moduleName()}};
    return trapped(trap, [&](ErrInfo& result) {
        // The copy is made and filled first, then stored; the log settings
        // are not copied.
        ErrInfo copy;
        copy.fill(number_, description_, type_, location_, class_, process_, step_);
        oObject = std::move(copy);
        result.clear();
    });
}

int32_t ErrInfo::getInfo(int32_t& lNumberInfo, Text& sDescriptionInfo, int32_t& iTypeInfo,
                         Text& sLocationInfo, Variant* vntClassInfo, Variant* vntProcessInfo,
                         Variant* vntStepInfo) const {
    lNumberInfo = number_;
    sDescriptionInfo = description_;
    iTypeInfo = type_;  // sign-extended
    sLocationInfo = location_;
    if (vntClassInfo) *vntClassInfo = Variant(class_);
    if (vntProcessInfo) *vntProcessInfo = Variant(process_);
    if (vntStepInfo) *vntStepInfo = Variant(step_);
    return 0;
}

void ErrInfo::clear() {
    number_ = 0;
    description_.clear();
    type_ = eiDEBUGTYPE;
    location_.clear();
    process_.clear();
    class_.clear();
    step_.clear();
}

}  // namespace orv
