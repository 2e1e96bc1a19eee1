// orv::Variant: the automation variant that operations take and return.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/core/decimal.hpp"

namespace orv {

class Variant;

// Automation variant type numbers (the values VarType reports).
enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,  // Missing travels as an error value
    Boolean = 11,
    Decimal = 14,
    Byte = 17,
    Array = 0x2000,  // combined with the element type
};

struct Empty {
    friend bool operator==(Empty, Empty) { return true; }
};
struct Null {
    friend bool operator==(Null, Null) { return true; }
};
// An optional argument that the caller left out.
struct Missing {
    friend bool operator==(Missing, Missing) { return true; }
};

// Currency: a 64-bit integer scaled by 10,000.
struct Currency {
    int64_t scaled = 0;
    friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

// OLE date: days since 30 December 1899, the fraction the time of day.
struct Date {
    double value = 0;
    friend bool operator==(Date a, Date b) { return a.value == b.value; }
};

// A string Variant whose storage holds raw bytes one for one (a whole file's
// contents). Its length is a byte count and may be odd.
struct ByteString {
    std::string bytes;
    friend bool operator==(const ByteString& a, const ByteString& b) { return a.bytes == b.bytes; }
};

// Base of objects that travel in a Variant (result objects, class instances).
class ORV_API Object {
  public:
    virtual ~Object() = default;
    virtual Text className() const = 0;
};
using ObjectRef = std::shared_ptr<Object>;

using VariantArray = Array<Variant>;

// Value-semantics box for the array alternative, so a Variant holding an
// array copies it (as automation assignment does) while scalars stay small.
class ORV_API ArrayBox {
  public:
    ArrayBox();
    explicit ArrayBox(VariantArray a);
    ArrayBox(const ArrayBox& o);
    ArrayBox(ArrayBox&&) noexcept = default;
    ArrayBox& operator=(const ArrayBox& o);
    ArrayBox& operator=(ArrayBox&&) noexcept = default;
    ~ArrayBox();
    VariantArray& get() { return *p_; }
    const VariantArray& get() const { return *p_; }
    friend ORV_API bool operator==(const ArrayBox& a, const ArrayBox& b);

  private:
    std::unique_ptr<VariantArray> p_;
};

class ORV_API Variant {
  public:
    using Storage = std::variant<Empty, Null, int16_t, int32_t, float, double, Currency, Date, Text,
                                 bool, uint8_t, Decimal, Missing, ByteString, ArrayBox, ObjectRef>;

    Variant() = default;
    Variant(Empty) {}
    Variant(Null v) : v_(v) {}
    Variant(Missing v) : v_(v) {}
    Variant(int16_t v) : v_(v) {}
    Variant(int32_t v) : v_(v) {}
    Variant(float v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(Currency v) : v_(v) {}
    Variant(Date v) : v_(v) {}
    Variant(Text v) : v_(std::move(v)) {}
    Variant(const char16_t* v) : v_(Text(v)) {}
    Variant(bool v) : v_(v) {}
    Variant(uint8_t v) : v_(v) {}
    Variant(Decimal v) : v_(v) {}
    Variant(ByteString v) : v_(std::move(v)) {}
    Variant(VariantArray v) : v_(ArrayBox(std::move(v))) {}
    Variant(ObjectRef v) : v_(std::move(v)) {}

    VarType type() const;
    // VarType number as automation reports it (arrays: 0x2000 | 12).
    uint16_t vartype() const;

    bool isEmpty() const { return is<Empty>(); }
    bool isNull() const { return is<Null>(); }
    bool isMissing() const { return is<Missing>(); }
    bool isString() const { return is<Text>(); }
    bool isArray() const { return is<ArrayBox>(); }
    bool isObject() const { return is<ObjectRef>(); }
    // True for Integer, Long, Single, Double, Currency, Decimal and Byte.
    bool isNumber() const;

    template <class T>
    bool is() const {
        return std::holds_alternative<T>(v_);
    }
    template <class T>
    const T& get() const {
        return std::get<T>(v_);
    }
    template <class T>
    T& get() {
        return std::get<T>(v_);
    }

    const Text* text() const { return std::get_if<Text>(&v_); }
    const VariantArray* array() const {
        auto* b = std::get_if<ArrayBox>(&v_);
        return b ? &b->get() : nullptr;
    }
    VariantArray* array() {
        auto* b = std::get_if<ArrayBox>(&v_);
        return b ? &b->get() : nullptr;
    }

    const Storage& storage() const { return v_; }

    friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

  private:
    Storage v_;
};

// Name of a variant type as TypeName reports it ("Integer", "String", ...).
ORV_API Text typeName(const Variant& v);

}  // namespace orv
