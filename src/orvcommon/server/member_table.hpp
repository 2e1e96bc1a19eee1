// The automation surface: one member table per published class, creation by
// name, and invocation by name with the argument passing of automation.
//
// A class's table lists its members in interface order (the position gives
// each member its slot number), each with its kind, its parameters (name,
// declared type, by value or by reference, optional or not) and an invoker:
// a function that takes the arguments already coerced to their declared
// types, calls the C++ operation and returns the result. By-reference
// arguments are written back to the caller's variables after the invoker
// returns. The same tables drive the `orv` script host and, on Windows, the
// dispatch interface and the type library.
//
// Adding a class: one source file in server/ whose function returns its
// ClassInfo (see errinfo_table.cpp), for example
//
//   const ClassInfo& registryUtilityClass() {
//       static const ClassInfo info{
//           u"RegistryUtility", true,
//           [] { return makeInstance<RegistryUtility>(u"RegistryUtility"); },
//           {{u"getInfoForConnection", MemberKind::Method,
//             {in(u"sApplicationName", type::String), inout(u"sConnectionDbName", type::String),
//              inout(u"sConnectionUser", type::String), inout(u"sConnectionPassword",
//              type::String)},
//             type::object(u"ErrInfo"),
//             [](Call& c) {
//                 return errInfoObject(c.self<RegistryUtility>().getInfoForConnection(
//                     c.arg<Text>(0), c.arg<Text>(1), c.arg<Text>(2), c.arg<Text>(3)));
//             }}}};
//       return info;
//   }
//
// then one row, with new identifiers, in publishedClasses() (member_table.cpp),
// and `make idl` to regenerate the committed IDL, which freezes the order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::server {

// The library name before the point in creation names ("orvcommon.ErrInfo").
inline constexpr char16_t kLibraryName[] = u"orvcommon";

enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut };

// Declared types of parameters and results.
enum class TypeCode : uint8_t {
    Void,  // results only: a member that returns nothing
    Integer,
    Long,
    Single,
    Double,
    Currency,
    Date,
    String,
    Boolean,
    Byte,
    Decimal,
    Variant,
    Object,        // an object of the class named by Type::name (Nothing allowed)
    StringArray,   // an array of String, any number of dimensions
    VariantArray,  // an array of Variant
    Record,        // a record, carried as a one-dimensional array of its fields
};

// A record type: its name and its fields in record order.
struct RecordInfo {
    const char16_t* name;
    std::vector<const char16_t*> fields;
};

struct Type {
    TypeCode code = TypeCode::Void;
    // The name a type-library viewer shows: "Long", "typeInfoCostant",
    // "ErrInfo", "String()", "structError".
    const char16_t* name = u"";
    const RecordInfo* record = nullptr;  // Record only
};

namespace type {
inline constexpr Type Void{TypeCode::Void, u""};
inline constexpr Type Integer{TypeCode::Integer, u"Integer"};
inline constexpr Type Long{TypeCode::Long, u"Long"};
inline constexpr Type Single{TypeCode::Single, u"Single"};
inline constexpr Type Double{TypeCode::Double, u"Double"};
inline constexpr Type Currency{TypeCode::Currency, u"Currency"};
inline constexpr Type Date{TypeCode::Date, u"Date"};
inline constexpr Type String{TypeCode::String, u"String"};
inline constexpr Type Boolean{TypeCode::Boolean, u"Boolean"};
inline constexpr Type Byte{TypeCode::Byte, u"Byte"};
inline constexpr Type Decimal{TypeCode::Decimal, u"Decimal"};
inline constexpr Type Variant{TypeCode::Variant, u"Variant"};
inline constexpr Type StringArray{TypeCode::StringArray, u"String()"};
inline constexpr Type VariantArray{TypeCode::VariantArray, u"Variant()"};
// A published enumeration travels as a Long under its own name.
constexpr Type enumeration(const char16_t* name) {
    return Type{TypeCode::Long, name};
}
constexpr Type object(const char16_t* className) {
    return Type{TypeCode::Object, className};
}
// Only the record's address is taken, so tables may name a record defined
// in another source file whatever the order of static initialisation.
constexpr Type record(const RecordInfo& r) {
    return Type{TypeCode::Record, nullptr, &r};
}
}  // namespace type

// The name of a declared type as a type-library viewer shows it.
inline const char16_t* typeName(const Type& t) {
    return t.record ? t.record->name : t.name;
}

enum class Passing : uint8_t { ByValue, ByReference };

struct Param {
    const char16_t* name;
    Type type;
    Passing passing = Passing::ByValue;
    bool optional = false;
};

// Parameter helpers for tables: in (by value), inout (by reference), and
// their optional forms.
inline Param in(const char16_t* name, Type t) {
    return {name, t, Passing::ByValue, false};
}
inline Param inout(const char16_t* name, Type t) {
    return {name, t, Passing::ByReference, false};
}
inline Param optionalIn(const char16_t* name, Type t) {
    return {name, t, Passing::ByValue, true};
}
inline Param optionalInOut(const char16_t* name, Type t) {
    return {name, t, Passing::ByReference, true};
}

class Call;
using Invoker = orv::Variant (*)(Call&);

struct Member {
    const char16_t* name;
    MemberKind kind;
    std::vector<Param> params;
    Type result;
    Invoker invoke;
};

struct ClassInfo {
    const char16_t* name;
    bool creatable = true;
    // Makes a new object of the class; null for classes not creatable.
    ObjectRef (*create)() = nullptr;
    std::vector<Member> members;  // interface order

    // Slot number of a member: its 1-based position in interface order.
    static int32_t slotOf(size_t index) { return static_cast<int32_t>(index) + 1; }
    // Dispatch number: a property's get and put share one; numbered from 1
    // in order of the first appearance of each name.
    int32_t dispatchId(size_t index) const;
};

// ---- Objects in Variants

// A published class's C++ object held in a reference-counted automation
// object: what a Variant carries for ErrInfo, FileUtility and the others.
template <class T>
class Instance final : public Object {
  public:
    Instance(const char16_t* className, T value) : className_(className), value(std::move(value)) {}
    Text className() const override { return className_; }

  private:
    const char16_t* className_;

  public:
    T value;
};

template <class T>
ObjectRef makeInstance(const char16_t* className, T value = T{}) {
    return std::make_shared<Instance<T>>(className, std::move(value));
}
// The C++ value inside an object of the automation layer; run-time error 91
// for Nothing, 13 for an object of another kind.
template <class T>
T& instanceValue(const ObjectRef& object) {
    if (!object) raise(err::kObjectNotSet);
    auto* inst = dynamic_cast<Instance<T>*>(object.get());
    if (!inst) raise(err::kTypeMismatch);
    return inst->value;
}

// An ErrInfo result as the object a Variant carries.
orv::Variant errInfoObject(ErrInfo value);

// The record structError: seven Variants, carried as an array of seven.
extern const RecordInfo kStructError;
structError structErrorFromArray(const VariantArray& a);
VariantArray structErrorToArray(const structError& s, int32_t lowerBound = 0);

// ---- The published classes

// Each class's member table, built on first use.
const ClassInfo& errInfoClass();
const ClassInfo& fileUtilityClass();
const ClassInfo& registryUtilityClass();
const ClassInfo& funzioniClass();
const ClassInfo& reportingClass();
const ClassInfo& nxInetClass();
const ClassInfo& nxGlobalClass();

// One row of the ordered table of published classes: the class and the
// identifiers of the class and of its default dispatch interface (registry
// spelling without braces). Identifiers are fixed once and never changed:
// clients record them when they register the server or compile against the
// type library; a new class gets new ones.
struct PublishedClass {
    const ClassInfo& info;
    const char* classId;
    const char* dispatchIid;
};
// The type library's identifier and version.
extern const char kLibraryId[];
inline constexpr int kLibraryMajor = 1;
inline constexpr int kLibraryMinor = 0;

// Every published class, in the order of the type library.
const std::vector<PublishedClass>& publishedClasses();
// The same classes' tables, in the same order.
const std::vector<const ClassInfo*>& classes();
// The class of that name (case-insensitive), or null.
const ClassInfo* findClass(TextView name);
// The row of that class (case-insensitive), or null.
const PublishedClass* findPublishedClass(TextView name);

// Creation by name: "orvcommon.<Class>" (case-insensitive). Run-time error
// 429 for a name that names no creatable class.
ObjectRef createObject(TextView progId);

// The table of an object's class; error 91 for Nothing, 438 for an object
// that has no table.
const ClassInfo& classOf(const ObjectRef& object);

// The member that a call of that kind reaches: a method or property get
// for MemberKind::Method and PropertyGet, a property put for PropertyPut.
// Names are case-insensitive. Error 438 when there is none.
const Member& findMember(const ClassInfo& cls, TextView name, MemberKind kind);

// ---- Invocation

// Argument coercion to a declared type, as the automation dispatcher does
// it: overflow stays run-time error 6; anything else that does not convert
// is 13. Variant takes the value as given.
orv::Variant coerce(const orv::Variant& value, const Type& type);

// Calls a member. `args` are the caller's variables in parameter order; the
// ones passed to by-reference parameters receive the written-back values.
// Fewer arguments than parameters leaves the rest Missing (error 449 for a
// parameter that is not optional); more is error 450.
//
// How the caller's variables are typed decides the write-back: a typed
// variable (a host whose variables carry their value's type) gets the value
// converted back to its own type; a Variant variable (what automation clients
// pass as VT_BYREF|VT_VARIANT) takes the value in the parameter's declared
// type, as assigning to a Variant does.
enum class Variables : uint8_t { Typed, Variant };
orv::Variant invoke(const ObjectRef& object, const Member& member, std::vector<orv::Variant*> args,
                    Variables variables = Variables::Typed);
// By name: MemberKind::Method finds a method or a property get.
orv::Variant invoke(const ObjectRef& object, TextView name, MemberKind kind,
                    std::vector<orv::Variant*> args);

// What an invoker sees: the object and the arguments, each already coerced
// to its parameter's declared type. References returned for by-reference
// parameters are written back to the caller after the invoker returns.
class Call {
  public:
    Call(const ObjectRef& object, const Member& member) : object_(object), member_(member) {}

    const ObjectRef& object() const { return object_; }
    const Member& member() const { return member_; }
    template <class T>
    T& self() {
        return instanceValue<T>(object_);
    }

    size_t count() const { return slots_.size(); }
    bool missing(size_t i) const { return slots_.at(i).value.isMissing(); }

    // The argument as the declared type holds it: int16_t (Integer),
    // int32_t (Long), float, double, orv::Currency, orv::Date, Text, bool,
    // uint8_t, orv::Decimal, Variant (Variant, Object, Record), Array<Text>
    // (StringArray), VariantArray.
    template <class T>
    T& arg(size_t i);
    // An optional by-reference Variant: null when the caller left it out.
    orv::Variant* optionalRef(size_t i) { return missing(i) ? nullptr : &slots_.at(i).value; }
    // The C++ value of an object argument (error 91 for Nothing).
    template <class T>
    T& objectArg(size_t i) {
        return instanceValue<T>(arg<ObjectRef>(i));
    }

  private:
    friend orv::Variant invoke(const ObjectRef&, const Member&, std::vector<orv::Variant*>,
                               Variables);
    struct Slot {
        orv::Variant value;
        Array<Text> texts;  // StringArray
    };
    const ObjectRef& object_;
    const Member& member_;
    std::vector<Slot> slots_;
};

template <class T>
T& Call::arg(size_t i) {
    Slot& s = slots_.at(i);
    if constexpr (std::is_same_v<T, orv::Variant>) {
        return s.value;
    } else if constexpr (std::is_same_v<T, Array<Text>>) {
        return s.texts;
    } else if constexpr (std::is_same_v<T, orv::VariantArray>) {
        if (!s.value.isArray()) raise(err::kTypeMismatch);
        return *s.value.array();
    } else {
        if (!s.value.template is<T>()) raise(err::kTypeMismatch);
        return s.value.template get<T>();
    }
}

// The NxGlobal class: published, no members, not creatable.
struct NxGlobal {};

}  // namespace orv::server
