#include "orvcommon/server/member_table.hpp"

#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"

namespace orv::server {

namespace {

// Runs a conversion; every failure but overflow becomes a type mismatch,
// which is what the automation dispatcher reports for an argument it cannot
// coerce (Null included).
template <class F>
orv::Variant converted(F&& f) {
    try {
        return orv::Variant(f());
    } catch (const RuntimeError& e) {
        if (e.number() == err::kOverflow) throw;
        raise(err::kTypeMismatch);
    }
}

// The declared type that a Variant's own type corresponds to, for converting
// a written-back value to the type of the caller's variable.
std::optional<Type> scalarTypeOf(const orv::Variant& v) {
    switch (v.type()) {
        case VarType::Integer:
            return type::Integer;
        case VarType::Long:
            return type::Long;
        case VarType::Single:
            return type::Single;
        case VarType::Double:
            return type::Double;
        case VarType::Currency:
            return type::Currency;
        case VarType::Date:
            return type::Date;
        case VarType::String:
            return v.isString() ? std::optional<Type>(type::String) : std::nullopt;
        case VarType::Boolean:
            return type::Boolean;
        case VarType::Byte:
            return type::Byte;
        case VarType::Decimal:
            return type::Decimal;
        default:
            return std::nullopt;
    }
}

bool isScalar(TypeCode c) {
    return c != TypeCode::Void && c != TypeCode::Variant && c != TypeCode::Object &&
           c != TypeCode::StringArray && c != TypeCode::VariantArray && c != TypeCode::Record;
}

// The value written back to a caller's variable: a typed by-reference
// argument that had to be coerced on the way in is converted back to the
// type of the caller's variable; an Empty variable takes the declared type.
orv::Variant writeBack(const orv::Variant& original, const orv::Variant& result, const Type& t) {
    if (!isScalar(t.code)) return result;
    auto own = scalarTypeOf(original);
    if (!own || own->code == t.code) return result;
    return coerce(result, *own);
}

}  // namespace

int32_t ClassInfo::dispatchId(size_t index) const {
    int32_t id = 0;
    for (size_t k = 0; k <= index && k < members.size(); ++k) {
        bool seen = false;
        for (size_t j = 0; j < k; ++j)
            if (equalsIgnoreCase(members[j].name, members[k].name)) {
                seen = true;
                if (k == index) {
                    // Same number as the first member of that name.
                    return dispatchId(j);
                }
                break;
            }
        if (!seen) ++id;
    }
    return id;
}

const RecordInfo kStructError{
    u"structError",
    {u"vntNumberInfo", u"vntDescriptionInfo", u"vntTypeInfo", u"vntLocationInfo", u"vntProcessInfo",
     u"vntClassInfo", u"vntStepInfo"}};

orv::Variant errInfoObject(ErrInfo value) {
    return orv::Variant(makeInstance<ErrInfo>(u"ErrInfo", std::move(value)));
}

structError structErrorFromArray(const VariantArray& a) {
    if (a.dims() != 1 || a.size() != kStructError.fields.size()) raise(err::kTypeMismatch);
    const auto& v = a.storage();
    return structError{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
}

VariantArray structErrorToArray(const structError& s, int32_t lowerBound) {
    VariantArray a(Bounds{lowerBound, lowerBound + 6});
    const auto v = a.elements();
    v[0] = s.vntNumberInfo;
    v[1] = s.vntDescriptionInfo;
    v[2] = s.vntTypeInfo;
    v[3] = s.vntLocationInfo;
    v[4] = s.vntProcessInfo;
    v[5] = s.vntClassInfo;
    v[6] = s.vntStepInfo;
    return a;
}

// Never change an identifier below (see PublishedClass).
const char kLibraryId[] = "50c305ab-f93b-447c-97b6-79c47370afb7";

const std::vector<PublishedClass>& publishedClasses() {
    static const std::vector<PublishedClass> all{
        {errInfoClass(), "dc1d6012-0147-4a69-8288-d262eba8445e",
         "24848e3d-9cb2-4bce-a777-26b4f5d8a39e"},
        {fileUtilityClass(), "cebdca93-eb8b-4526-9334-c50ba320ecd2",
         "7df460c1-51ad-437f-8159-1d1d242326c2"},
        {registryUtilityClass(), "8d52da8c-42d8-473e-8234-a24445b0b347",
         "2d718d71-b336-40ca-a000-9ceffe64a157"},
        {funzioniClass(), "9eb0ab75-5587-4727-9693-f5424a895ca3",
         "14b32395-b3f4-4bd2-ace5-5f1f31019bb5"},
        {reportingClass(), "9648d83a-10f3-4556-aedd-941cd0c4cfbe",
         "b6f2cdd3-bc17-44d7-9cb0-8bbb01329c58"},
        {nxInetClass(), "991abe7f-69e4-4c9a-ad71-ef6ee71de82d",
         "207f58bc-e7fa-4490-b7e5-9813609f87c3"},
        {nxGlobalClass(), "8a5f52ae-586f-4155-a5cf-2527b4444102",
         "4ede690a-0140-4409-88ef-097730311635"},
    };
    return all;
}

const std::vector<const ClassInfo*>& classes() {
    static const std::vector<const ClassInfo*> all = [] {
        std::vector<const ClassInfo*> v;
        for (const PublishedClass& c : publishedClasses())
            v.push_back(&c.info);
        return v;
    }();
    return all;
}

const PublishedClass* findPublishedClass(TextView name) {
    for (const PublishedClass& c : publishedClasses())
        if (equalsIgnoreCase(c.info.name, name)) return &c;
    return nullptr;
}

const ClassInfo* findClass(TextView name) {
    const PublishedClass* c = findPublishedClass(name);
    return c ? &c->info : nullptr;
}

ObjectRef createObject(TextView progId) {
    const size_t dot = progId.find(u'.');
    if (dot == TextView::npos || !equalsIgnoreCase(progId.substr(0, dot), kLibraryName))
        raise(err::kCannotCreateObject);
    const ClassInfo* cls = findClass(progId.substr(dot + 1));
    if (!cls || !cls->creatable || !cls->create) raise(err::kCannotCreateObject);
    return cls->create();
}

const ClassInfo& classOf(const ObjectRef& object) {
    if (!object) raise(err::kObjectNotSet);
    const ClassInfo* cls = findClass(object->className());
    if (!cls) raise(err::kMemberNotSupported);
    return *cls;
}

const Member& findMember(const ClassInfo& cls, TextView name, MemberKind kind) {
    for (const Member& m : cls.members) {
        if (!equalsIgnoreCase(m.name, name)) continue;
        if (kind == MemberKind::PropertyPut ? m.kind == MemberKind::PropertyPut
                                            : m.kind != MemberKind::PropertyPut)
            return m;
    }
    raise(err::kMemberNotSupported);
}

orv::Variant coerce(const orv::Variant& v, const Type& t) {
    switch (t.code) {
        case TypeCode::Void:
            return orv::Variant();
        case TypeCode::Variant:
            return v;
        case TypeCode::Integer:
            return converted([&] { return toInt16(v); });
        case TypeCode::Long:
            return converted([&] { return toInt32(v); });
        case TypeCode::Single:
            return converted([&] { return toSingle(v); });
        case TypeCode::Double:
            return converted([&] { return toDouble(v); });
        case TypeCode::Currency:
            return converted([&] { return toCurrency(v); });
        case TypeCode::Decimal:
            return converted([&] { return toDecimal(v); });
        case TypeCode::Date:
            return converted([&] { return orv::Date{toDate(v)}; });
        case TypeCode::Boolean:
            return converted([&] { return toBool(v); });
        case TypeCode::Byte:
            return converted([&] { return toByte(v); });
        case TypeCode::String:
            if (v.isArray() || v.isObject()) raise(err::kTypeMismatch);
            return converted([&] { return toText(v); });
        case TypeCode::Object: {
            if (v.isEmpty()) return orv::Variant(ObjectRef());  // Nothing
            if (!v.isObject()) raise(err::kTypeMismatch);
            const ObjectRef& o = v.get<ObjectRef>();
            if (o && !equalsIgnoreCase(o->className(), t.name)) raise(err::kTypeMismatch);
            return v;
        }
        case TypeCode::StringArray: {
            if (v.isEmpty()) return orv::Variant(VariantArray());
            if (!v.isArray()) raise(err::kTypeMismatch);
            VariantArray out = *v.array();
            for (auto& e : out.elements())
                e = converted([&] { return toText(e); });
            return orv::Variant(std::move(out));
        }
        case TypeCode::VariantArray:
            if (v.isEmpty()) return orv::Variant(VariantArray());
            if (!v.isArray()) raise(err::kTypeMismatch);
            return v;
        case TypeCode::Record: {
            if (!v.isArray()) raise(err::kTypeMismatch);
            const VariantArray& a = *v.array();
            if (a.dims() != 1 || !t.record || a.size() != t.record->fields.size())
                raise(err::kTypeMismatch);
            return v;
        }
    }
    raise(err::kTypeMismatch);
}

namespace {

// A Variant array of Strings as the String() array an operation takes.
Array<Text> textArray(const VariantArray& a) {
    Array<Text> out;
    if (a.dims() == 1) out.redim(a.bounds(1));
    if (a.dims() == 2) out.redim(a.bounds(1), a.bounds(2));
    for (size_t k = 0; k < a.size(); ++k)
        out.elements()[k] = *a.storage()[k].text();
    return out;
}

VariantArray variantArray(const Array<Text>& a) {
    VariantArray out;
    if (a.dims() == 1) out.redim(a.bounds(1));
    if (a.dims() == 2) out.redim(a.bounds(1), a.bounds(2));
    for (size_t k = 0; k < a.size(); ++k)
        out.elements()[k] = orv::Variant(a.storage()[k]);
    return out;
}

}  // namespace

orv::Variant invoke(const ObjectRef& object, const Member& member, std::vector<orv::Variant*> args,
                    Variables variables) {
    if (args.size() > member.params.size()) raise(err::kWrongArgumentCount);
    Call call(object, member);
    call.slots_.resize(member.params.size());
    for (size_t i = 0; i < member.params.size(); ++i) {
        const Param& p = member.params[i];
        const orv::Variant* given = i < args.size() ? args[i] : nullptr;
        Call::Slot& slot = call.slots_[i];
        if (!given || given->isMissing()) {
            if (!p.optional) raise(err::kArgumentNotOptional);
            slot.value = Missing{};
            continue;
        }
        slot.value = coerce(*given, p.type);
        if (p.type.code == TypeCode::StringArray) slot.texts = textArray(*slot.value.array());
    }

    orv::Variant result = member.invoke(call);

    for (size_t i = 0; i < member.params.size() && i < args.size(); ++i) {
        const Param& p = member.params[i];
        Call::Slot& slot = call.slots_[i];
        if (p.passing != Passing::ByReference || !args[i] || slot.value.isMissing()) continue;
        if (p.type.code == TypeCode::StringArray)
            slot.value = orv::Variant(variantArray(slot.texts));
        *args[i] =
            variables == Variables::Variant ? slot.value : writeBack(*args[i], slot.value, p.type);
    }
    return result;
}

orv::Variant invoke(const ObjectRef& object, TextView name, MemberKind kind,
                    std::vector<orv::Variant*> args) {
    return invoke(object, findMember(classOf(object), name, kind), std::move(args));
}

}  // namespace orv::server
