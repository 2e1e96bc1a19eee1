#include "orvcommon/core/variant.hpp"

namespace orv {

ArrayBox::ArrayBox() : p_(std::make_unique<VariantArray>()) {}
ArrayBox::ArrayBox(VariantArray a) : p_(std::make_unique<VariantArray>(std::move(a))) {}
ArrayBox::ArrayBox(const ArrayBox& o) : p_(std::make_unique<VariantArray>(*o.p_)) {}
ArrayBox& ArrayBox::operator=(const ArrayBox& o) {
    if (this != &o) p_ = std::make_unique<VariantArray>(*o.p_);
    return *this;
}
ArrayBox::~ArrayBox() = default;
bool operator==(const ArrayBox& a, const ArrayBox& b) {
    return *a.p_ == *b.p_;
}

VarType Variant::type() const {
    static constexpr VarType kTypes[] = {
        VarType::Empty,  VarType::Null,    VarType::Integer,  VarType::Long,
        VarType::Single, VarType::Double,  VarType::Currency, VarType::Date,
        VarType::String, VarType::Boolean, VarType::Byte,     VarType::Decimal,
        VarType::Error,  VarType::String,  VarType::Array,    VarType::Object,
    };
    return kTypes[v_.index()];
}

uint16_t Variant::vartype() const {
    VarType t = type();
    if (t == VarType::Array) return 0x2000 | 12;
    return static_cast<uint16_t>(t);
}

bool Variant::isNumber() const {
    switch (type()) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency:
        case VarType::Decimal:
        case VarType::Byte:
            return true;
        default:
            return false;
    }
}

Text typeName(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
            return u"Empty";
        case VarType::Null:
            return u"Null";
        case VarType::Integer:
            return u"Integer";
        case VarType::Long:
            return u"Long";
        case VarType::Single:
            return u"Single";
        case VarType::Double:
            return u"Double";
        case VarType::Currency:
            return u"Currency";
        case VarType::Date:
            return u"Date";
        case VarType::String:
            return v.is<ByteString>() ? u"ByteString" : u"String";
        case VarType::Object: {
            const auto& o = v.get<ObjectRef>();
            return o ? o->className() : u"Nothing";
        }
        case VarType::Error:
            return u"Error";
        case VarType::Boolean:
            return u"Boolean";
        case VarType::Decimal:
            return u"Decimal";
        case VarType::Byte:
            return u"Byte";
        case VarType::Array:
            return u"Variant()";
    }
    return u"Unknown";
}

}  // namespace orv
