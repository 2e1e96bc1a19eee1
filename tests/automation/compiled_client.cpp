// A compiled automation client. It creates the server's classes by ProgID and
// calls them through IDispatch::Invoke the way compiled programs do: typed
// by-reference arguments (VT_BYREF|VT_I4, VT_BYREF|VT_I2, VT_BYREF|VT_BSTR,
// VT_BYREF|VT_R8, VT_BYREF|VT_DISPATCH, typed arrays) next to
// VT_BYREF|VT_VARIANT, and a structError record through the type library's
// IRecordInfo. It checks the written-back values in its own variables,
// prints "PASS n" or "FAIL n" last and returns the failure count.
//
// run.sh builds it:
//   x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -static -o compiled_client.exe
//       compiled_client.cpp -lole32 -loleaut32 -luuid
// and runs it under Wine with ORV_WORK (a scratch folder) and ORV_LOG (the
// log folder of the settings) set.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int checks = 0;
int failures = 0;

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w)
        s += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return s;
}

void check(const char* name, const std::wstring& got, const std::wstring& expected) {
    ++checks;
    if (got == expected) return;
    ++failures;
    std::printf("FAIL %s: got [%s] expected [%s]\r\n", name, narrow(got).c_str(),
                narrow(expected).c_str());
}

void check(const char* name, long long got, long long expected) {
    check(name, std::to_wstring(got), std::to_wstring(expected));
}

std::wstring str(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

std::wstring env(const char* name) {
    const char* v = std::getenv(name);
    std::wstring w;
    for (const char* p = v ? v : ""; *p; ++p)
        w += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return w;
}

// Argument builders; the caller keeps ownership of what they point to.
VARIANT vt(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}
VARIANT i4(LONG x) {
    VARIANT v = vt(VT_I4);
    V_I4(&v) = x;
    return v;
}
VARIANT i2(SHORT x) {
    VARIANT v = vt(VT_I2);
    V_I2(&v) = x;
    return v;
}
VARIANT bstr(BSTR b) {
    VARIANT v = vt(VT_BSTR);
    V_BSTR(&v) = b;
    return v;
}
VARIANT missing() {
    VARIANT v = vt(VT_ERROR);
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}
VARIANT ref(LONG* p) {
    VARIANT v = vt(VT_BYREF | VT_I4);
    V_I4REF(&v) = p;
    return v;
}
VARIANT ref(SHORT* p) {
    VARIANT v = vt(VT_BYREF | VT_I2);
    V_I2REF(&v) = p;
    return v;
}
VARIANT ref(double* p) {
    VARIANT v = vt(VT_BYREF | VT_R8);
    V_R8REF(&v) = p;
    return v;
}
VARIANT ref(BSTR* p) {
    VARIANT v = vt(VT_BYREF | VT_BSTR);
    V_BSTRREF(&v) = p;
    return v;
}
VARIANT ref(VARIANT* p) {
    VARIANT v = vt(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&v) = p;
    return v;
}
VARIANT ref(IDispatch** p) {
    VARIANT v = vt(VT_BYREF | VT_DISPATCH);
    V_DISPATCHREF(&v) = p;
    return v;
}
VARIANT refStrings(SAFEARRAY** p) {
    VARIANT v = vt(VT_BYREF | VT_ARRAY | VT_BSTR);
    V_ARRAYREF(&v) = p;
    return v;
}

// Calls a member by name with the arguments in their natural order (Invoke
// takes them last first). `out` receives the result, `ex` the exception.
HRESULT call(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args, VARIANT* out = nullptr,
             WORD flags = DISPATCH_METHOD, EXCEPINFO* ex = nullptr) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT ignored;
    VariantInit(&ignored);
    EXCEPINFO local{};
    UINT badArg = 0;
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out ? out : &ignored,
                   ex ? ex : &local, &badArg);
    VariantClear(&ignored);
    if (!ex) {
        SysFreeString(local.bstrSource);
        SysFreeString(local.bstrDescription);
        SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

// A property or no-argument method as text.
std::wstring text(IDispatch* d, const wchar_t* name) {
    VARIANT r;
    VariantInit(&r);
    if (FAILED(call(d, name, {}, &r, DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return L"<error>";
    if (FAILED(VariantChangeType(&r, &r, 0, VT_BSTR))) return L"<no text>";
    std::wstring s = str(V_BSTR(&r));
    VariantClear(&r);
    return s;
}

// A result object as number|description|type|location|class|process.
std::wstring fields(IDispatch* o) {
    if (!o) return L"<nothing>";
    return text(o, L"numberInfo") + L"|" + text(o, L"descriptionInfo") + L"|" +
           text(o, L"typeInfo") + L"|" + text(o, L"locationInfo") + L"|" + text(o, L"classInfo") +
           L"|" + text(o, L"processInfo");
}

// Calls a member that returns a result object; nullptr when it did not.
IDispatch* result(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args) {
    VARIANT r;
    VariantInit(&r);
    if (FAILED(call(d, name, std::move(args), &r)) || V_VT(&r) != VT_DISPATCH) {
        VariantClear(&r);
        return nullptr;
    }
    return V_DISPATCH(&r);
}

IDispatch* create(const wchar_t* progId) {
    CLSID clsid;
    IDispatch* d = nullptr;
    if (FAILED(CLSIDFromProgID(progId, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&d)))) {
        std::printf("FAIL cannot create %s\r\n", narrow(progId).c_str());
        ++failures;
        return nullptr;
    }
    ++checks;
    return d;
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::wstring hex(const std::string& bytes) {
    std::wstring s;
    for (unsigned char c : bytes) {
        wchar_t b[4];
        swprintf(b, 4, L"%02x", c);
        s += b;
    }
    return s;
}

// A SAFEARRAY of BSTRs with the given bounds (1 or 2 dimensions, first
// dimension first) and the cells set from (index list, text) pairs.
SAFEARRAY* strings(std::vector<SAFEARRAYBOUND> bounds,
                   std::vector<std::pair<std::vector<LONG>, const wchar_t*>> cells) {
    SAFEARRAY* sa = SafeArrayCreate(VT_BSTR, static_cast<UINT>(bounds.size()), bounds.data());
    for (auto& [at, value] : cells) {
        BSTR b = SysAllocString(value);
        SafeArrayPutElement(sa, at.data(), b);
        SysFreeString(b);
    }
    return sa;
}

std::wstring element(SAFEARRAY* sa, std::vector<LONG> at) {
    BSTR b = nullptr;
    if (FAILED(SafeArrayGetElement(sa, at.data(), &b))) return L"<none>";
    std::wstring s = str(b);
    SysFreeString(b);
    return s;
}

std::wstring bounds(SAFEARRAY* sa) {
    if (!sa) return L"<null>";
    std::wstring s;
    for (UINT d = 1; d <= SafeArrayGetDim(sa); ++d) {
        LONG lo = 0, hi = 0;
        SafeArrayGetLBound(sa, d, &lo);
        SafeArrayGetUBound(sa, d, &hi);
        s += (d > 1 ? L"," : L"") + std::to_wstring(lo) + L".." + std::to_wstring(hi);
    }
    return s;
}

const GUID kLibrary = {
    0x50c305ab, 0xf93b, 0x447c, {0x97, 0xb6, 0x79, 0xc4, 0x73, 0x70, 0xaf, 0xb7}};
const GUID kStructError = {
    0x6872ae2e, 0xe785, 0x4933, {0x80, 0x45, 0x71, 0x27, 0x40, 0xb3, 0xd8, 0x7f}};

// structError as the type library lays it out: seven Variants.
struct StructError {
    VARIANT number, description, type, location, process, cls, step;
    StructError() {
        for (VARIANT* v : all())
            VariantInit(v);
    }
    ~StructError() {
        for (VARIANT* v : all())
            VariantClear(v);
    }
    std::vector<VARIANT*> all() {
        return {&number, &description, &type, &location, &process, &cls, &step};
    }
};

void errInfo() {
    IDispatch* e = create(L"orvcommon.ErrInfo");
    if (!e) return;
    BSTR desc = SysAllocString(L"File not found"), loc = SysAllocString(L"readFile");
    BSTR proc = SysAllocString(L"proc");
    // An omitted optional in the middle, the last one not passed at all.
    call(e, L"ErrInfo", {i4(53), bstr(desc), i4(1), bstr(loc), missing(), bstr(proc)});
    check("fill with omitted optionals", fields(e), L"53|File not found|1|readFile||proc");
    check("names are case-insensitive", text(e, L"ISSUCCESS"), L"0");

    // getInfo into the client's own long, BSTR, enumeration and variables.
    LONG number = -1, type = -1;
    BSTR d = SysAllocString(L"old"), l = nullptr, step = SysAllocString(L"old");
    VARIANT cls;
    VariantInit(&cls);
    VARIANT status;
    VariantInit(&status);
    call(e, L"getInfo",
         {ref(&number), ref(&d), ref(&type), ref(&l), ref(&cls), missing(), ref(&step)}, &status);
    check("getInfo status", V_VT(&status) == VT_I4 ? V_I4(&status) : -99, 0);
    check("getInfo long", number, 53);
    check("getInfo BSTR", str(d), L"File not found");
    check("getInfo enumeration", type, 1);
    check("getInfo null BSTR filled", str(l), L"readFile");
    check("getInfo variant gets text", V_VT(&cls) == VT_BSTR ? L"text:" + str(V_BSTR(&cls)) : L"?",
          L"text:");
    check("getInfo BSTR for a variant", str(step) + L"|", L"|");
    SysFreeString(d);
    SysFreeString(l);
    SysFreeString(step);
    VariantClear(&cls);

    // The same settings through typed references and through variants.
    BSTR path = nullptr;
    SHORT trace = -7;
    LONG sw = -7;
    VARIANT ok, vp, vtr, vsw;
    VariantInit(&ok);
    VariantInit(&vp);
    VariantInit(&vtr);
    VariantInit(&vsw);
    call(e, L"getInfoForLogSystem", {ref(&path), ref(&trace), ref(&sw)}, &ok);
    check("settings read", V_VT(&ok) == VT_BOOL && V_BOOL(&ok) == VARIANT_TRUE, true);
    check("log folder", str(path), env("ORV_LOG") + L"\\");
    call(e, L"getInfoForLogSystem", {ref(&vp), ref(&vtr), ref(&vsw)});
    check("trace both ways", V_VT(&vtr) == VT_I2 ? V_I2(&vtr) : -99, trace);
    check("switch size both ways", V_VT(&vsw) == VT_I4 ? V_I4(&vsw) : -99, sw);
    SysFreeString(path);
    VariantClear(&vp);

    // A structError record as a compiled client declares it, passed with the
    // record description of the registered type library.
    IRecordInfo* info = nullptr;
    ULONG size = 0;
    if (FAILED(GetRecordInfoFromGuids(kLibrary, 1, 0, 0, kStructError, &info)) ||
        FAILED(info->GetSize(&size))) {
        check("record info from the type library", L"missing", L"found");
    } else {
        check("record size", size, sizeof(StructError));
        StructError rec;
        rec.number = bstr(SysAllocString(L"3.5"));
        rec.description = bstr(SysAllocString(L"from record"));
        rec.type = i2(2);
        rec.location = bstr(SysAllocString(L"rec"));
        rec.step = bstr(SysAllocString(L"s1"));
        VARIANT arg = vt(VT_RECORD | VT_BYREF);
        V_RECORD(&arg) = &rec;
        V_RECORDINFO(&arg) = info;
        VariantClear(&status);
        call(e, L"ErrInfoNew", {arg}, &status);
        check("record status", V_VT(&status) == VT_I4 ? V_I4(&status) : -99, 0);
        check("record fields, empty ones skipped", fields(e), L"4|from record|2|rec||proc");
        check("record step", text(e, L"stepInfo"), L"s1");
        check("record unchanged",
              V_VT(&rec.description) == VT_BSTR ? str(V_BSTR(&rec.description)) : L"?",
              L"from record");
        VariantClear(&rec.number);
        rec.number = bstr(SysAllocString(L"abc"));
        call(e, L"ErrInfoNew", {arg}, &status);
        check("record non-numeric status", V_VT(&status) == VT_I4 ? V_I4(&status) : -99,
              -2147220904LL);
        info->Release();
    }

    // A run-time error comes back as DISP_E_EXCEPTION with 0x800A0000 + number.
    EXCEPINFO ex{};
    HRESULT hr = call(e, L"ErrInfo", {i4(1), bstr(desc), i4(70000), bstr(loc)}, nullptr,
                      DISPATCH_METHOD, &ex);
    check("overflow", hr == DISP_E_EXCEPTION && ex.scode == static_cast<SCODE>(0x800A0006), true);
    check("overflow source", str(ex.bstrSource) + L"|" + str(ex.bstrDescription),
          L"orvcommon|Overflow");
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);

    // clone into the client's own object variable.
    call(e, L"ErrInfo", {i4(76), bstr(desc), i4(2), bstr(loc)});
    IDispatch* copy = nullptr;
    IDispatch* cleared = result(e, L"clone", {ref(&copy)});
    check("clone copy", fields(copy), fields(e));
    check("clone result cleared", fields(cleared), L"0||4|||");
    if (copy) copy->Release();
    if (cleared) cleared->Release();
    SysFreeString(desc);
    SysFreeString(loc);
    SysFreeString(proc);
    e->Release();
}

void fileUtility() {
    IDispatch* f = create(L"orvcommon.FileUtility");
    if (!f) return;
    const std::wstring work = env("ORV_WORK");
    BSTR a = SysAllocString((work + L"\\a.txt").c_str());
    BSTR b = SysAllocString((work + L"\\b.txt").c_str());
    BSTR abc = SysAllocString(L"abc");
    IDispatch* r = result(f, L"writeFile", {bstr(a), i4(0), bstr(abc)});
    check("writeFile", fields(r),
          L"0|Operazione eseguita correttamente|3|writeFile|FileUtility|orvcommon");
    if (r) r->Release();
    if ((r = result(f, L"writeFile", {bstr(b), i4(0), bstr(abc)}))) r->Release();

    SHORT count = -1;
    BSTR pattern = SysAllocString((work + L"\\*.txt").c_str());
    if ((r = result(f, L"numFileInDir", {bstr(pattern), ref(&count)}))) r->Release();
    check("file count into a short", count, 2);

    BSTR content = SysAllocString(L"old");
    if ((r = result(f, L"readFile", {bstr(a), ref(&content)}))) r->Release();
    check("readFile into a BSTR", str(content), L"abc\r\n");

    // Lines into the client's own array of strings, indexed from 1.
    SAFEARRAY* rows = nullptr;
    LONG lines = -1;
    if ((r = result(f, L"readAndLoadInArrayByCRLF", {bstr(a), refStrings(&rows), ref(&lines)})))
        r->Release();
    check("lines into a long", lines, 1);
    check("line array bounds", bounds(rows), L"1..1");
    check("line", rows ? element(rows, {1}) : L"", L"abc");
    if (rows) SafeArrayDestroy(rows);

    // A byte string of odd length keeps every byte, out and back in.
    const std::wstring three = work + L"\\three.bin";
    writeBytes(three, std::string("\x00\xff\x41", 3));
    BSTR threeName = SysAllocString(three.c_str());
    VARIANT bytes;
    VariantInit(&bytes);
    if ((r = result(f, L"readBinaryFile", {bstr(threeName), ref(&bytes)}))) r->Release();
    const bool isBstr = V_VT(&bytes) == VT_BSTR;
    check("byte string length", isBstr ? SysStringByteLen(V_BSTR(&bytes)) : 0u, 3);
    check("byte string bytes",
          isBstr ? hex(std::string(reinterpret_cast<const char*>(V_BSTR(&bytes)), 3)) : L"",
          L"00ff41");
    VariantClear(&bytes);

    // A table with odd bounds: columns 0..3, rows -1..2; rows 1..2 are read.
    SAFEARRAYBOUND tb[2] = {{4, 0}, {4, -1}};
    SAFEARRAY* table = strings({tb[0], tb[1]}, {{{1, 1}, L"a"},
                                                {{2, 1}, L"1"},
                                                {{1, 2}, L"b c"},
                                                {{3, 2}, L"x"},
                                                {{0, -1}, L"never read"}});
    BSTR csv = nullptr;
    BSTR delim = SysAllocString(L";");
    if ((r = result(f, L"getCsvStringFromArray",
                    {ref(&csv), refStrings(&table), i4(2), i4(3), bstr(delim)})))
        r->Release();
    check("csv from an odd-bounded table", str(csv), L"\"a\";1;\r\n\"b c\";;\"x\"\r\n");
    check("table keeps its bounds", bounds(table), L"0..3,-1..2");
    SafeArrayDestroy(table);
    for (BSTR s : {a, b, abc, pattern, content, threeName, csv, delim})
        SysFreeString(s);
    f->Release();
}

void registryUtility() {
    IDispatch* g = create(L"orvcommon.RegistryUtility");
    if (!g) return;
    BSTR app = SysAllocString(L"OrvAutomationClient");
    BSTR db = SysAllocString(L"db  "), user = SysAllocString(L" user"), pw = SysAllocString(L"pw");
    IDispatch* r = result(g, L"saveInfoForConnection", {bstr(app), bstr(db), bstr(user), bstr(pw)});
    check("save", fields(r), L"0||3|saveInfoForConnection|RegistryUtility|orvcommon");
    if (r) r->Release();
    BSTR o1 = SysAllocString(L"old"), o2 = nullptr, o3 = SysAllocString(L"old");
    if ((r = result(g, L"getInfoForConnection", {bstr(app), ref(&o1), ref(&o2), ref(&o3)})))
        r->Release();
    check("connection into BSTRs", str(o1) + L"|" + str(o2) + L"|" + str(o3), L"db| user|pw");

    LONG root = static_cast<LONG>(0x80000002);
    BSTR key = SysAllocString(L"SOFTWARE\\OrvAutomationClient\\DbAccess");
    BSTR name = SysAllocString(L"connectionUser");
    VARIANT value;
    VariantInit(&value);
    call(g, L"getKeyValue", {ref(&root), ref(&key), ref(&name)}, &value);
    check("value through typed references", V_VT(&value) == VT_BSTR ? str(V_BSTR(&value)) : L"?",
          L" user");
    check("references unchanged", std::to_wstring(root) + L"|" + str(key) + L"|" + str(name),
          L"-2147483646|SOFTWARE\\OrvAutomationClient\\DbAccess|connectionUser");
    VariantClear(&value);
    for (BSTR s : {app, db, user, pw, o1, o2, o3, key, name})
        SysFreeString(s);
    g->Release();
}

void funzioni() {
    IDispatch* f = create(L"orvcommon.Funzioni");
    if (!f) return;
    // A double by reference: written back as text into a variant, kept a
    // double in a double.
    VARIANT v = vt(VT_R8);
    V_R8(&v) = 12.5;
    VARIANT r1;
    VariantInit(&r1);
    call(f, L"getNumberForDB", {i4(1), ref(&v)}, &r1);
    check("variant becomes text", V_VT(&v) == VT_BSTR ? str(V_BSTR(&v)) : L"?", L"12.5");
    check("literal", V_VT(&r1) == VT_BSTR ? str(V_BSTR(&r1)) : L"?", L"12.5");
    VariantClear(&v);
    VariantClear(&r1);
    double d = 12.5;
    call(f, L"getNumberForDB", {i4(1), ref(&d)}, &r1);
    check("double stays a double", d == 12.5 && V_VT(&r1) == VT_BSTR, true);
    VariantClear(&r1);

    // Sorting the client's array with bounds 3..6 in place.
    SAFEARRAYBOUND sb{4, 3};
    SAFEARRAY* sa = strings({sb}, {{{3}, L"d"}, {{4}, L"b"}, {{5}, L"C"}, {{6}, L"a"}});
    IDispatch* r =
        result(f, L"quickSortArray", {refStrings(&sa), i4(3), i4(6), i2(1), i2(1), vt(VT_BOOL)});
    check("sort result", fields(r), L"0||3|quickSortArray|orvcommon|");
    if (r) r->Release();
    check("sorted in place",
          element(sa, {3}) + element(sa, {4}) + element(sa, {5}) + element(sa, {6}), L"abCd");
    check("sorted array keeps its bounds", bounds(sa), L"3..6");
    SafeArrayDestroy(sa);

    // Fields into an array of strings and a long.
    SAFEARRAYBOUND fb{3, 0};
    SAFEARRAY* fa = strings({fb}, {});
    LONG found = -1;
    BSTR line = SysAllocString(L"a;\"b;c\"");
    if ((r = result(f, L"getValueFromCsvString", {bstr(line), refStrings(&fa), ref(&found)})))
        r->Release();
    check("fields found", found, 2);
    check("fields", element(fa, {1}) + L"|" + element(fa, {2}), L"a|b;c");
    SafeArrayDestroy(fa);
    SysFreeString(line);
    f->Release();
}

void nxInetAndReporting() {
    IDispatch* n = create(L"orvcommon.NxInet");
    if (n) {
        LONG session = 0;
        IDispatch* r = result(n, L"IOpen", {ref(&session)});
        check("session handle into a long", session > 0 && r, true);
        if (r) r->Release();
        VARIANT closed;
        VariantInit(&closed);
        call(n, L"IClose", {ref(&session)}, &closed);
        check("close", V_VT(&closed) == VT_I4 ? V_I4(&closed) : -99, 0);
        n->Release();
    }
    IDispatch* p = create(L"orvcommon.Reporting");
    if (p) {
        BSTR s = SysAllocString(L"the quick brown fox");
        VARIANT line;
        VariantInit(&line);
        call(p, L"formattaStringa", {ref(&s), i2(10)}, &line);
        check("first line", V_VT(&line) == VT_BSTR ? str(V_BSTR(&line)) : L"?", L"the quick");
        check("rest into the BSTR", str(s), L"brown fox");
        VariantClear(&line);
        SysFreeString(s);
        p->Release();
    }
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        std::printf("FAIL 1\r\n");
        return 1;
    }
    errInfo();
    fileUtility();
    registryUtility();
    funzioni();
    nxInetAndReporting();
    CoUninitialize();
    if (failures == 0)
        std::printf("PASS %d\r\n", checks);
    else
        std::printf("FAIL %d\r\n", failures);
    return failures;
}
