#include "orvcommon/server/win32/com_values.hpp"

#include <oleauto.h>

#include <limits>
#include <string>

#include "orvcommon/server/type_library.hpp"
#include "orvcommon/server/win32/dispatch.hpp"

namespace orv::server::com {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "BSTR units are UTF-16");

namespace {

orv::Variant fromBstr(BSTR s) {
    if (!s) return orv::Variant(Text());
    const UINT bytes = SysStringByteLen(s);
    if (bytes % 2)
        return orv::Variant(ByteString{std::string(reinterpret_cast<const char*>(s), bytes)});
    return orv::Variant(Text(reinterpret_cast<const char16_t*>(s), bytes / 2));
}

BSTR toBstr(const orv::Variant& v) {
    BSTR s = nullptr;
    if (const Text* t = v.text())
        s = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t->data()),
                              static_cast<UINT>(t->size()));
    else if (v.is<ByteString>()) {
        const std::string& b = v.get<ByteString>().bytes;
        s = SysAllocStringByteLen(b.data(), static_cast<UINT>(b.size()));
    } else
        raise(err::kTypeMismatch);
    if (!s) raise(err::kOutOfMemory);
    return s;
}

// A 64-bit integer as the narrowest library value that holds it.
orv::Variant fromInteger(int64_t v) {
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        return orv::Variant(static_cast<int32_t>(v));
    return orv::Variant(Decimal::fromInt64(v));
}

Decimal fromDecimal(const DECIMAL& d) {
    Decimal out;
    out.mag = {static_cast<uint32_t>(d.Lo64), static_cast<uint32_t>(d.Lo64 >> 32), d.Hi32};
    out.scale = d.scale;
    out.negative = (d.sign & DECIMAL_NEG) != 0;
    return out;
}

DECIMAL toDecimal(const Decimal& v) {
    DECIMAL d{};
    d.Lo64 = v.mag[0] | (static_cast<ULONGLONG>(v.mag[1]) << 32);
    d.Hi32 = v.mag[2];
    d.scale = v.scale;
    d.sign = v.negative ? DECIMAL_NEG : 0;
    return d;
}

// structError is seven VARIANTs in a row. Its fields are read and written in
// place once the record's identity and size are checked: the record
// information of some hosts cannot get or put Variant fields (Wine's answers
// a field count of 0 and fails GetField on them).
VARIANT* structErrorFields(IRecordInfo* info, void* record) {
    static const GUID kStructErrorId = [] {
        for (const PublishedRecord& r : records())
            if (TextView(r.name) == kStructError.name) return guidOf(r.typeId);
        raise(err::kInternal);
    }();
    GUID id{};
    ULONG size = 0;
    if (!info || !record || FAILED(info->GetGuid(&id)) || !IsEqualGUID(id, kStructErrorId) ||
        FAILED(info->GetSize(&size)) || size != kStructError.fields.size() * sizeof(VARIANT))
        return nullptr;
    return static_cast<VARIANT*>(record);
}

// The fields of a record in record order.
orv::Variant fromRecord(IRecordInfo* info, void* record) {
    if (!info || !record) raise(err::kTypeMismatch);
    if (VARIANT* fields = structErrorFields(info, record)) {
        VariantArray out(Bounds{0, static_cast<int32_t>(kStructError.fields.size()) - 1});
        for (size_t k = 0; k < out.size(); ++k)
            out.elements()[k] = fromVariant(fields[k]);
        return orv::Variant(std::move(out));
    }
    ULONG count = 0;
    if (FAILED(info->GetFieldNames(&count, nullptr))) raise(err::kTypeMismatch);
    std::vector<BSTR> names(count);
    if (FAILED(info->GetFieldNames(&count, names.data()))) raise(err::kTypeMismatch);
    VariantArray fields(Bounds{0, static_cast<int32_t>(count) - 1});
    HRESULT hr = S_OK;
    for (ULONG k = 0; k < count && SUCCEEDED(hr); ++k) {
        VARIANT field;
        VariantInit(&field);
        hr = info->GetField(record, names[k], &field);
        if (SUCCEEDED(hr)) {
            try {
                fields.elements()[k] = fromVariant(field);
            } catch (...) {
                VariantClear(&field);
                for (BSTR n : names)
                    SysFreeString(n);
                throw;
            }
            VariantClear(&field);
        }
    }
    for (BSTR n : names)
        SysFreeString(n);
    if (FAILED(hr)) raise(err::kTypeMismatch);
    return orv::Variant(std::move(fields));
}

void putRecord(IRecordInfo* info, void* record, const orv::Variant& value) {
    const VariantArray* fields = value.array();
    if (!info || !record || !fields) raise(err::kTypeMismatch);
    if (VARIANT* own = structErrorFields(info, record)) {
        if (fields->size() != kStructError.fields.size()) raise(err::kTypeMismatch);
        // Every field converts before any is replaced, so a failure leaves
        // the caller's record as it was.
        std::vector<VARIANT> fresh(fields->size());
        size_t made = 0;
        try {
            for (; made < fresh.size(); ++made) {
                VariantInit(&fresh[made]);
                toVariant(fields->storage()[made], fresh[made]);
            }
        } catch (...) {
            for (size_t k = 0; k < made; ++k)
                VariantClear(&fresh[k]);
            throw;
        }
        for (size_t k = 0; k < fresh.size(); ++k) {
            VariantClear(&own[k]);
            own[k] = fresh[k];
        }
        return;
    }
    ULONG count = 0;
    if (FAILED(info->GetFieldNames(&count, nullptr)) || count != fields->size())
        raise(err::kTypeMismatch);
    std::vector<BSTR> names(count);
    if (FAILED(info->GetFieldNames(&count, names.data()))) raise(err::kTypeMismatch);
    HRESULT hr = S_OK;
    for (ULONG k = 0; k < count && SUCCEEDED(hr); ++k) {
        VARIANT field;
        VariantInit(&field);
        try {
            toVariant(fields->storage()[k], field);
        } catch (...) {
            for (BSTR n : names)
                SysFreeString(n);
            throw;
        }
        hr = info->PutField(INVOKE_PROPERTYPUT, record, names[k], &field);
        VariantClear(&field);
    }
    for (BSTR n : names)
        SysFreeString(n);
    if (FAILED(hr)) raise(err::kTypeMismatch);
}

// Reads each element through a by-reference VARIANT, so every element type a
// client may send goes through the one scalar conversion.
orv::Variant fromSafeArray(SAFEARRAY* sa) {
    if (!sa) return orv::Variant(VariantArray());  // never dimensioned
    const UINT dims = SafeArrayGetDim(sa);
    if (dims < 1 || dims > 2) raise(err::kTypeMismatch);
    VARTYPE element = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &element))) raise(err::kTypeMismatch);
    Bounds b[2];
    for (UINT d = 0; d < dims; ++d) {
        LONG lo = 0, hi = 0;
        SafeArrayGetLBound(sa, d + 1, &lo);
        SafeArrayGetUBound(sa, d + 1, &hi);
        b[d] = Bounds{lo, hi};
    }
    VariantArray out;
    if (dims == 1) out.redim(b[0]);
    if (dims == 2) out.redim(b[0], b[1]);
    char* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, reinterpret_cast<void**>(&data)))) raise(err::kArrayLocked);
    try {
        for (size_t k = 0; k < out.size(); ++k) {
            VARIANT ref;
            VariantInit(&ref);
            V_VT(&ref) = static_cast<VARTYPE>(element | VT_BYREF);
            V_BYREF(&ref) = data + k * sa->cbElements;
            if (element == VT_RECORD) {
                IRecordInfo* info = nullptr;
                SafeArrayGetRecordInfo(sa, &info);
                out.elements()[k] = fromRecord(info, V_BYREF(&ref));
                if (info) info->Release();
            } else {
                out.elements()[k] = fromVariant(ref);
            }
        }
    } catch (...) {
        SafeArrayUnaccessData(sa);
        throw;
    }
    SafeArrayUnaccessData(sa);
    return orv::Variant(std::move(out));
}

// A new SAFEARRAY of VARIANTs or BSTRs with the array's bounds. A
// never-dimensioned array is a null SAFEARRAY where the caller's variable is a
// typed array (its own representation), and an empty one-dimensional array
// (0 To -1) inside a VARIANT: script hosts cannot ReDim a Variant holding a
// null array.
SAFEARRAY* toSafeArray(const VariantArray& a, VARTYPE element, bool inVariant) {
    if (!a.dimensioned() && !inVariant) return nullptr;
    SAFEARRAYBOUND b[2]{};
    for (int d = 0; d < a.dims(); ++d)
        b[d] = SAFEARRAYBOUND{static_cast<ULONG>(a.bounds(d + 1).count()), a.lbound(d + 1)};
    const UINT dims = a.dimensioned() ? static_cast<UINT>(a.dims()) : 1;
    SAFEARRAY* sa = SafeArrayCreate(element, dims, b);
    if (!sa) raise(err::kOutOfMemory);
    void* data = nullptr;
    SafeArrayAccessData(sa, &data);
    try {
        for (size_t k = 0; k < a.size(); ++k) {
            if (element == VT_BSTR)
                static_cast<BSTR*>(data)[k] = toBstr(a.storage()[k]);
            else
                toVariant(a.storage()[k], static_cast<VARIANT*>(data)[k]);
        }
    } catch (...) {
        SafeArrayUnaccessData(sa);
        SafeArrayDestroy(sa);
        throw;
    }
    SafeArrayUnaccessData(sa);
    return sa;
}

bool sameShape(SAFEARRAY* sa, const VariantArray& a) {
    if (!sa || static_cast<int>(SafeArrayGetDim(sa)) != a.dims()) return false;
    for (int d = 1; d <= a.dims(); ++d) {
        LONG lo = 0, hi = 0;
        SafeArrayGetLBound(sa, d, &lo);
        SafeArrayGetUBound(sa, d, &hi);
        if (lo != a.lbound(d) || hi != a.ubound(d)) return false;
    }
    return true;
}

// Replaces the caller's array, or fills it in place when it is fixed-size
// (a static array keeps its storage; a different shape is error 10).
void writeArray(SAFEARRAY** target, const orv::Variant& value, VARTYPE element) {
    if (value.isEmpty()) return;
    const VariantArray* a = value.array();
    if (!a) raise(err::kTypeMismatch);
    SAFEARRAY* old = *target;
    if (old && (old->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED) || old->cLocks)) {
        if (!sameShape(old, *a)) raise(err::kArrayLocked);
        SAFEARRAY* fresh = toSafeArray(*a, element, false);
        HRESULT hr = SafeArrayCopyData(fresh, old);
        SafeArrayDestroy(fresh);
        if (FAILED(hr)) raise(err::kTypeMismatch);
        return;
    }
    SAFEARRAY* fresh = toSafeArray(*a, element, false);
    if (old) SafeArrayDestroy(old);
    *target = fresh;
}

template <class T>
T as(const orv::Variant& value, const Type& type) {
    return coerce(value, type).get<T>();
}

}  // namespace

orv::Variant fromVariant(const VARIANT& in) {
    const VARIANT* v = &in;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
        if (!v) raise(err::kTypeMismatch);
    }
    const VARTYPE vt = V_VT(v);
    const bool ref = (vt & VT_BYREF) != 0;
    if (ref && !V_BYREF(v)) raise(err::kTypeMismatch);
    if (vt & VT_ARRAY) return fromSafeArray(ref ? *V_ARRAYREF(v) : V_ARRAY(v));
    switch (vt & ~VT_BYREF) {
        case VT_EMPTY:
            return orv::Variant();
        case VT_NULL:
            return orv::Variant(Null{});
        case VT_I2:
            return orv::Variant(ref ? *V_I2REF(v) : V_I2(v));
        case VT_I4:
            return orv::Variant(static_cast<int32_t>(ref ? *V_I4REF(v) : V_I4(v)));
        case VT_R4:
            return orv::Variant(ref ? *V_R4REF(v) : V_R4(v));
        case VT_R8:
            return orv::Variant(ref ? *V_R8REF(v) : V_R8(v));
        case VT_CY:
            return orv::Variant(Currency{(ref ? *V_CYREF(v) : V_CY(v)).int64});
        case VT_DATE:
            return orv::Variant(Date{ref ? *V_DATEREF(v) : V_DATE(v)});
        case VT_BSTR:
            return fromBstr(ref ? *V_BSTRREF(v) : V_BSTR(v));
        case VT_BOOL:
            return orv::Variant((ref ? *V_BOOLREF(v) : V_BOOL(v)) != VARIANT_FALSE);
        case VT_UI1:
            return orv::Variant(static_cast<uint8_t>(ref ? *V_UI1REF(v) : V_UI1(v)));
        case VT_DECIMAL:
            return orv::Variant(fromDecimal(ref ? *V_DECIMALREF(v) : V_DECIMAL(v)));
        case VT_I1:
            return orv::Variant(static_cast<int16_t>(ref ? *V_I1REF(v) : V_I1(v)));
        case VT_UI2:
            return fromInteger(ref ? *V_UI2REF(v) : V_UI2(v));
        case VT_UI4:
            return fromInteger(ref ? *V_UI4REF(v) : V_UI4(v));
        case VT_INT:
            return fromInteger(ref ? *V_INTREF(v) : V_INT(v));
        case VT_UINT:
            return fromInteger(ref ? *V_UINTREF(v) : V_UINT(v));
        case VT_I8:
            return fromInteger(ref ? *V_I8REF(v) : V_I8(v));
        case VT_ERROR:
            if ((ref ? *V_ERRORREF(v) : V_ERROR(v)) == DISP_E_PARAMNOTFOUND)
                return orv::Variant(Missing{});
            raise(err::kTypeMismatch);
        case VT_DISPATCH:
            return orv::Variant(objectFrom(ref ? *V_DISPATCHREF(v) : V_DISPATCH(v)));
        case VT_UNKNOWN:
            return orv::Variant(objectFrom(ref ? *V_UNKNOWNREF(v) : V_UNKNOWN(v)));
        case VT_RECORD:
            return fromRecord(V_RECORDINFO(v), V_RECORD(v));
        default:
            raise(err::kTypeMismatch);
    }
}

void toVariant(const orv::Variant& value, VARIANT& out) {
    VARIANT v;
    VariantInit(&v);
    switch (value.type()) {
        case VarType::Empty:
            break;
        case VarType::Null:
            V_VT(&v) = VT_NULL;
            break;
        case VarType::Integer:
            V_VT(&v) = VT_I2;
            V_I2(&v) = value.get<int16_t>();
            break;
        case VarType::Long:
            V_VT(&v) = VT_I4;
            V_I4(&v) = value.get<int32_t>();
            break;
        case VarType::Single:
            V_VT(&v) = VT_R4;
            V_R4(&v) = value.get<float>();
            break;
        case VarType::Double:
            V_VT(&v) = VT_R8;
            V_R8(&v) = value.get<double>();
            break;
        case VarType::Currency:
            V_VT(&v) = VT_CY;
            V_CY(&v).int64 = value.get<Currency>().scaled;
            break;
        case VarType::Date:
            V_VT(&v) = VT_DATE;
            V_DATE(&v) = value.get<Date>().value;
            break;
        case VarType::String:
            V_BSTR(&v) = toBstr(value);
            V_VT(&v) = VT_BSTR;
            break;
        case VarType::Boolean:
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VarType::Byte:
            V_VT(&v) = VT_UI1;
            V_UI1(&v) = value.get<uint8_t>();
            break;
        case VarType::Decimal:
            // The decimal overlays the whole VARIANT, its type word included.
            V_DECIMAL(&v) = toDecimal(value.get<Decimal>());
            V_VT(&v) = VT_DECIMAL;
            break;
        case VarType::Error:  // Missing
            V_VT(&v) = VT_ERROR;
            V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
            break;
        case VarType::Object:
            V_DISPATCH(&v) = dispatchFor(value.get<ObjectRef>());
            V_VT(&v) = VT_DISPATCH;
            break;
        default:
            if (!value.isArray()) raise(err::kTypeMismatch);
            V_ARRAY(&v) = toSafeArray(*value.array(), VT_VARIANT, true);
            V_VT(&v) = VT_ARRAY | VT_VARIANT;
            break;
    }
    out = v;
}

void writeBack(VARIANT& arg, const orv::Variant& value) {
    const VARTYPE vt = V_VT(&arg);
    if (!(vt & VT_BYREF) || !V_BYREF(&arg)) return;
    if (vt == (VT_BYREF | VT_VARIANT)) {
        VARIANT fresh;
        VariantInit(&fresh);
        toVariant(value, fresh);
        VariantClear(V_VARIANTREF(&arg));
        *V_VARIANTREF(&arg) = fresh;
        return;
    }
    if (vt & VT_ARRAY) {
        writeArray(V_ARRAYREF(&arg), value, (vt & VT_TYPEMASK) == VT_BSTR ? VT_BSTR : VT_VARIANT);
        return;
    }
    // The caller's variable has a type of its own: the value is converted to
    // it, as automation does when it assigns to a typed variable.
    switch (vt & ~VT_BYREF) {
        case VT_I2:
            *V_I2REF(&arg) = as<int16_t>(value, type::Integer);
            break;
        case VT_I4:
            *V_I4REF(&arg) = as<int32_t>(value, type::Long);
            break;
        case VT_R4:
            *V_R4REF(&arg) = as<float>(value, type::Single);
            break;
        case VT_R8:
            *V_R8REF(&arg) = as<double>(value, type::Double);
            break;
        case VT_CY:
            V_CYREF(&arg)->int64 = as<Currency>(value, type::Currency).scaled;
            break;
        case VT_DATE:
            *V_DATEREF(&arg) = as<Date>(value, type::Date).value;
            break;
        case VT_BOOL:
            *V_BOOLREF(&arg) = as<bool>(value, type::Boolean) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_UI1:
            *V_UI1REF(&arg) = as<uint8_t>(value, type::Byte);
            break;
        case VT_DECIMAL:
            *V_DECIMALREF(&arg) = toDecimal(as<Decimal>(value, type::Decimal));
            break;
        case VT_BSTR: {
            const orv::Variant text = value.is<ByteString>() ? value : coerce(value, type::String);
            BSTR fresh = toBstr(text);
            SysFreeString(*V_BSTRREF(&arg));
            *V_BSTRREF(&arg) = fresh;
            break;
        }
        case VT_DISPATCH: {
            if (!value.isObject() && !value.isEmpty()) raise(err::kTypeMismatch);
            IDispatch* fresh = value.isObject() ? dispatchFor(value.get<ObjectRef>()) : nullptr;
            if (*V_DISPATCHREF(&arg)) (*V_DISPATCHREF(&arg))->Release();
            *V_DISPATCHREF(&arg) = fresh;
            break;
        }
        case VT_RECORD:
            putRecord(V_RECORDINFO(&arg), V_RECORD(&arg), value);
            break;
        default:
            raise(err::kTypeMismatch);
    }
}

}  // namespace orv::server::com
