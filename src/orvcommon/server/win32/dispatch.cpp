#include "orvcommon/server/win32/dispatch.hpp"

#include <oleauto.h>

#include <new>
#include <string>
#include <vector>

#include "orvcommon/server/win32/com_values.hpp"

namespace orv::server::com {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
HINSTANCE moduleHandle = nullptr;

namespace {

// Lets the server recognise its own objects when a client hands one back.
// Private to this DLL: no client asks for it.
const IID kOwnObject = {
    0x3c1f6a52, 0x8d0e, 0x4b7a, {0x9f, 0x21, 0x5e, 0x44, 0x0b, 0x6d, 0x13, 0xa7}};

TextView wide(const OLECHAR* s) {
    return s ? TextView(reinterpret_cast<const char16_t*>(s)) : TextView();
}

BSTR bstr(TextView t) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t.data()),
                             static_cast<UINT>(t.size()));
}

// A run-time error as the exception a client's Err object shows: scode
// 0x800A0000 + number, source "orvcommon", the error's description.
HRESULT exception(EXCEPINFO* info, int32_t number, const Text& description) {
    if (info) {
        *info = EXCEPINFO{};
        info->bstrSource = bstr(kLibraryName);
        info->bstrDescription = bstr(description);
        info->scode = automationErrorCode(number);
    }
    return DISP_E_EXCEPTION;
}

class Dispatch final : public IDispatch {
  public:
    Dispatch(ObjectRef object, const PublishedClass& cls) : object_(std::move(object)), cls_(cls) {
        ++liveObjects;
    }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    const ObjectRef& object() const { return object_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, guidOf(cls_.dispatchIid)) || IsEqualIID(riid, kOwnObject)) {
            AddRef();
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return dispatchTypeInfo(cls_, out);
    }

    // Member names are matched without regard to case; the names after the
    // first are parameter names, numbered by their position.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        const ClassInfo& c = cls_.info;
        const Member* member = nullptr;
        ids[0] = DISPID_UNKNOWN;
        for (size_t i = 0; i < c.members.size(); ++i)
            if (equalsIgnoreCase(c.members[i].name, wide(names[0]))) {
                ids[0] = c.dispatchId(i);
                member = &c.members[i];
                break;
            }
        HRESULT hr = member ? S_OK : DISP_E_UNKNOWNNAME;
        for (UINT k = 1; k < count; ++k) {
            ids[k] = DISPID_UNKNOWN;
            if (member)
                for (size_t p = 0; p < member->params.size(); ++p)
                    if (equalsIgnoreCase(member->params[p].name, wide(names[k])))
                        ids[k] = static_cast<DISPID>(p);
            if (ids[k] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        DISPPARAMS none{};
        if (!params) params = &none;
        const Member* member = memberFor(id, flags);
        if (!member) return DISP_E_MEMBERNOTFOUND;
        const size_t n = member->params.size();
        if (params->cArgs > n)
            return exception(info, err::kWrongArgumentCount,
                             standardMessage(err::kWrongArgumentCount));

        // Positional arguments arrive last first; named ones carry their
        // parameter number, and the value of a property put its own number.
        std::vector<VARIANT*> given(n, nullptr);
        const UINT named = params->cNamedArgs;
        const UINT positional = params->cArgs - named;
        for (UINT k = 0; k < positional; ++k)
            given[k] = &params->rgvarg[params->cArgs - 1 - k];
        for (UINT j = 0; j < named; ++j) {
            const DISPID p = params->rgdispidNamedArgs[j];
            const size_t slot = p == DISPID_PROPERTYPUT ? n - 1 : static_cast<size_t>(p);
            if ((p != DISPID_PROPERTYPUT && p < 0) || slot >= n || given[slot]) {
                if (argError) *argError = j;
                return DISP_E_PARAMNOTFOUND;
            }
            given[slot] = &params->rgvarg[j];
        }

        try {
            std::vector<orv::Variant> values(n);
            std::vector<orv::Variant*> args(n, nullptr);
            for (size_t k = 0; k < n; ++k)
                if (given[k]) {
                    values[k] = fromVariant(*given[k]);
                    args[k] = &values[k];
                }
            // Every variable reaches invoke as a Variant: a typed reference
            // (VT_BYREF|VT_I4) is converted to its own type by writeBack below.
            const orv::Variant returned = invoke(object_, *member, args, Variables::Variant);
            for (size_t k = 0; k < n; ++k)
                if (given[k] && member->params[k].passing == Passing::ByReference)
                    writeBack(*given[k], values[k]);
            if (result) {
                VariantInit(result);
                toVariant(returned, *result);
            }
            return S_OK;
        } catch (const RuntimeError& e) {
            return exception(info, e.number(), e.description());
        } catch (const std::bad_alloc&) {
            return exception(info, err::kOutOfMemory, standardMessage(err::kOutOfMemory));
        } catch (...) {
            // Nothing crosses the boundary as a C++ exception.
            return exception(info, err::kInternal, standardMessage(err::kInternal));
        }
    }

  private:
    ~Dispatch() { --liveObjects; }

    // The member a call reaches: a property put for a put; otherwise a method
    // when the caller allows one, else a property get.
    const Member* memberFor(DISPID id, WORD flags) const {
        const ClassInfo& c = cls_.info;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        const Member* get = nullptr;
        for (size_t i = 0; i < c.members.size(); ++i) {
            if (c.dispatchId(i) != id) continue;
            const MemberKind kind = c.members[i].kind;
            if (put && kind == MemberKind::PropertyPut) return &c.members[i];
            if (put) continue;
            if (kind == MemberKind::Method && (flags & DISPATCH_METHOD)) return &c.members[i];
            if (kind == MemberKind::PropertyGet && (flags & DISPATCH_PROPERTYGET))
                get = &c.members[i];
        }
        return get;
    }

    std::atomic<ULONG> refs_{1};
    ObjectRef object_;
    const PublishedClass& cls_;
};

// The type library embedded in this DLL, loaded once and kept.
ITypeLib* typeLibrary() {
    static ITypeLib* library = [] {
        ITypeLib* tl = nullptr;
        wchar_t path[MAX_PATH + 1]{};
        const DWORD n = GetModuleFileNameW(moduleHandle, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) LoadTypeLibEx(path, REGKIND_NONE, &tl);
        return tl;
    }();
    return library;
}

}  // namespace

GUID guidOf(const char* text) {
    std::wstring braced = L"{";
    for (const char* p = text; *p; ++p)
        braced.push_back(static_cast<wchar_t>(*p));
    braced.push_back(L'}');
    GUID g{};
    if (FAILED(IIDFromString(braced.c_str(), &g))) raise(err::kInternal);
    return g;
}

IDispatch* dispatchFor(const ObjectRef& object) {
    if (!object) return nullptr;
    const PublishedClass* cls = findPublishedClass(object->className());
    if (!cls) raise(err::kMemberNotSupported);
    return new Dispatch(object, *cls);
}

ObjectRef objectFrom(IUnknown* unknown) {
    if (!unknown) return ObjectRef();
    void* own = nullptr;
    if (FAILED(unknown->QueryInterface(kOwnObject, &own)) || !own) raise(err::kTypeMismatch);
    auto* d = static_cast<Dispatch*>(static_cast<IDispatch*>(own));
    ObjectRef object = d->object();
    d->Release();
    return object;
}

HRESULT dispatchTypeInfo(const PublishedClass& cls, ITypeInfo** out) {
    ITypeLib* tl = typeLibrary();
    if (!tl) return TYPE_E_CANTLOADLIBRARY;
    try {
        return tl->GetTypeInfoOfGuid(guidOf(cls.dispatchIid), out);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace orv::server::com
