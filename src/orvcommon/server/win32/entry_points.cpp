// The in-process server's entry points: class objects, the unload check and
// registration. Each creatable published class is registered under its
// identifiers with the ProgIDs "orvcommon.<Class>" and "orvcommon.<Class>.1",
// threading model "Apartment", and the type library of this DLL.
//
// DllRegisterServer writes under HKEY_LOCAL_MACHINE\Software\Classes when the
// process may, and under HKEY_CURRENT_USER\Software\Classes otherwise (a user
// without administrator rights); DllInstall(TRUE, L"user") always registers
// per user, as `regsvr32 /n /i:user` asks. DllUnregisterServer removes every
// key either way wrote.
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>

#include <new>
#include <string>

#include "orvcommon/server/win32/dispatch.hpp"

// Per-user type-library registration (oleaut32, Windows Vista and later),
// which mingw's headers do not declare.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID lcid,
                                        SYSKIND kind);
}

namespace orv::server::com {
namespace {

class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const PublishedClass& cls) : cls_(cls) { ++liveObjects; }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            IDispatch* d = dispatchFor(cls_.info.create());
            const HRESULT hr = d->QueryInterface(riid, out);
            d->Release();
            return hr;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }

  private:
    ~ClassFactory() { --liveObjects; }
    std::atomic<ULONG> refs_{1};
    const PublishedClass& cls_;
};

std::wstring wideOf(const char* s) {
    std::wstring w;
    for (; *s; ++s)
        w.push_back(static_cast<wchar_t>(*s));
    return w;
}

std::wstring wideOf(TextView t) {
    return std::wstring(t.begin(), t.end());
}

std::wstring braced(const char* id) {
    return L"{" + wideOf(id) + L"}";
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH + 1]{};
    const DWORD n = GetModuleFileNameW(moduleHandle, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

// One key's default value and named text values, created as needed.
LONG setKey(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG rc =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc;
}

bool creatable(const PublishedClass& c) {
    return c.info.creatable && c.info.create;
}

// The keys of every creatable class under a classes root.
LONG registerClasses(HKEY classes) {
    const std::wstring path = modulePath();
    if (path.empty()) return ERROR_MOD_NOT_FOUND;
    const std::wstring library = braced(kLibraryId);
    const std::wstring version =
        std::to_wstring(kLibraryMajor) + L"." + std::to_wstring(kLibraryMinor);
    for (const PublishedClass& c : publishedClasses()) {
        if (!creatable(c)) continue;
        const std::wstring progId = wideOf(kLibraryName) + L"." + wideOf(c.info.name);
        const std::wstring versioned = progId + L".1";
        const std::wstring clsid = braced(c.classId);
        const std::wstring key = L"CLSID\\" + clsid;
        for (LONG rc : {setKey(classes, key, nullptr, progId),
                        setKey(classes, key + L"\\InprocServer32", nullptr, path),
                        setKey(classes, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
                        setKey(classes, key + L"\\ProgID", nullptr, versioned),
                        setKey(classes, key + L"\\VersionIndependentProgID", nullptr, progId),
                        setKey(classes, key + L"\\TypeLib", nullptr, library),
                        setKey(classes, key + L"\\Version", nullptr, version),
                        setKey(classes, progId, nullptr, progId),
                        setKey(classes, progId + L"\\CLSID", nullptr, clsid),
                        setKey(classes, progId + L"\\CurVer", nullptr, versioned),
                        setKey(classes, versioned, nullptr, progId),
                        setKey(classes, versioned + L"\\CLSID", nullptr, clsid)})
            if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

void unregisterClasses(HKEY classes) {
    for (const PublishedClass& c : publishedClasses()) {
        if (!creatable(c)) continue;
        const std::wstring progId = wideOf(kLibraryName) + L"." + wideOf(c.info.name);
        RegDeleteTreeW(classes, (L"CLSID\\" + braced(c.classId)).c_str());
        RegDeleteTreeW(classes, progId.c_str());
        RegDeleteTreeW(classes, (progId + L".1").c_str());
    }
}

HKEY openClasses(HKEY root) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HRESULT registerAll(bool perUser) {
    HKEY classes = openClasses(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
    if (!classes) return perUser ? SELFREG_E_CLASS : registerAll(true);
    const LONG rc = registerClasses(classes);
    RegCloseKey(classes);
    if (rc == ERROR_ACCESS_DENIED && !perUser) return registerAll(true);
    if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;

    ITypeLib* tl = nullptr;
    const std::wstring path = modulePath();
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &tl))) return SELFREG_E_TYPELIB;
    std::wstring writable = path;
    HRESULT hr = perUser ? RegisterTypeLibForUser(tl, writable.data(), nullptr)
                         : RegisterTypeLib(tl, writable.data(), nullptr);
    if (hr == TYPE_E_REGISTRYACCESS && !perUser)
        hr = RegisterTypeLibForUser(tl, writable.data(), nullptr);
    tl->Release();
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

HRESULT unregisterAll() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (HKEY classes = openClasses(root)) {
            unregisterClasses(classes);
            RegCloseKey(classes);
        }
    }
    const GUID library = guidOf(kLibraryId);
    for (SYSKIND kind : {SYS_WIN32, SYS_WIN64}) {
        UnRegisterTypeLib(library, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, kind);
        UnRegisterTypeLibForUser(library, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, kind);
    }
    return S_OK;
}

}  // namespace
}  // namespace orv::server::com

using namespace orv::server::com;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleHandle = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        for (const orv::server::PublishedClass& c : orv::server::publishedClasses()) {
            if (!creatable(c) || !IsEqualCLSID(clsid, guidOf(c.classId))) continue;
            auto* factory = new ClassFactory(c);
            const HRESULT hr = factory->QueryInterface(riid, out);
            factory->Release();
            return hr;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    try {
        return registerAll(false);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return unregisterAll();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// regsvr32 /i:user (with /n: registration per user only).
STDAPI DllInstall(BOOL install, LPCWSTR command) {
    const bool perUser = command && lstrcmpiW(command, L"user") == 0;
    try {
        if (!install) return unregisterAll();
        return registerAll(perUser);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // extern "C"
