// A compiled automation client: creates the server's classes by ProgID and
// calls them through IDispatch::Invoke with typed by-reference arguments,
// omitted optionals, a structError record and a byte string of odd length
// (README.md). It prints "PASS n" or "FAIL n" last and returns the failure
// count.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int checks = 0;
int failures = 0;

void check(const char* name, const std::wstring& got, const std::wstring& expected) {
    ++checks;
    if (got == expected) return;
    ++failures;
    std::printf("FAIL %s: got [%ls] expected [%ls]\r\n", name, got.c_str(), expected.c_str());
}

void check(const char* name, long long got, long long expected) {
    check(name, std::to_wstring(got), std::to_wstring(expected));
}

std::wstring str(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

// A VARIANT as type:text ("3:53" for a VT_I4 of 53), to check type and value at once.
std::wstring shown(VARIANT v) {
    VARIANT t;
    VariantInit(&t);
    std::wstring s = std::to_wstring(V_VT(&v)) + L":";
    if (SUCCEEDED(VariantChangeType(&t, &v, 0, VT_BSTR))) s += str(V_BSTR(&t));
    VariantClear(&t);
    return s;
}

// Argument builders; the caller keeps ownership of what they point to.
VARIANT vt(VARTYPE type) {
    VARIANT v{};
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
// VT_BYREF | type, pointing at the client's own variable.
VARIANT ref(VARTYPE type, void* p) {
    VARIANT v = vt(VT_BYREF | type);
    V_BYREF(&v) = p;
    return v;
}

// Calls a member by name with the arguments in their natural order (Invoke
// takes them last first); `out` receives the result.
HRESULT call(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args, VARIANT* out = nullptr,
             WORD flags = DISPATCH_METHOD) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT ignored;
    VariantInit(&ignored);
    EXCEPINFO ex{};
    UINT badArg = 0;
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out ? out : &ignored, &ex,
                   &badArg);
    VariantClear(&ignored);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    return hr;
}

// A property or no-argument method as type:text.
std::wstring get(IDispatch* d, const wchar_t* name) {
    VARIANT r;
    VariantInit(&r);
    if (FAILED(call(d, name, {}, &r, DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return L"<error>";
    std::wstring s = shown(r);
    VariantClear(&r);
    return s;
}

// Calls a member and releases the result object it returns.
void run(IDispatch* d, const wchar_t* name, std::vector<VARIANT> args) {
    VARIANT r;
    VariantInit(&r);
    if (FAILED(call(d, name, std::move(args), &r)) || V_VT(&r) != VT_DISPATCH)
        check("a call that returns a result object", name, L"");
    VariantClear(&r);
}

IDispatch* create(const wchar_t* progId) {
    CLSID clsid;
    IDispatch* d = nullptr;
    const bool made = SUCCEEDED(CLSIDFromProgID(progId, &clsid)) &&
                      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IDispatch, reinterpret_cast<void**>(&d)));
    check("created", made ? L"" : progId, L"");
    return made ? d : nullptr;
}

// Text for a by-value argument, freed at the end of the client. A variable
// passed by reference is allocated by the client (the server may replace it)
// and handed to `owned` after the call.
std::vector<BSTR> owned;
BSTR text(const std::wstring& s) {
    owned.push_back(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())));
    return owned.back();
}

// A SAFEARRAY of BSTRs with the given bounds (first dimension first) and the
// cells set from (index list, text) pairs.
SAFEARRAY* strings(std::vector<SAFEARRAYBOUND> bounds,
                   std::vector<std::pair<std::vector<LONG>, const wchar_t*>> cells) {
    SAFEARRAY* sa = SafeArrayCreate(VT_BSTR, static_cast<UINT>(bounds.size()), bounds.data());
    for (auto& [at, value] : cells)
        SafeArrayPutElement(sa, at.data(), text(value));
    return sa;
}

// The bounds of every dimension and then the cells of the first one, as "1..2|a|b".
std::wstring shown(SAFEARRAY* sa) {
    if (!sa) return L"<null>";
    std::wstring s;
    LONG lo = 0, hi = -1;
    const UINT dims = SafeArrayGetDim(sa);
    for (UINT d = 1; d <= dims; ++d) {
        SafeArrayGetLBound(sa, d, &lo);
        SafeArrayGetUBound(sa, d, &hi);
        s += (d > 1 ? L"," : L"") + std::to_wstring(lo) + L".." + std::to_wstring(hi);
    }
    for (LONG i = lo; dims == 1 && i <= hi; ++i) {
        BSTR b = nullptr;
        SafeArrayGetElement(sa, &i, &b);
        s += L"|" + str(b);
        SysFreeString(b);
    }
    return s;
}

const GUID kLibrary = {
    0x50c305ab, 0xf93b, 0x447c, {0x97, 0xb6, 0x79, 0xc4, 0x73, 0x70, 0xaf, 0xb7}};
const GUID kStructError = {
    0x6872ae2e, 0xe785, 0x4933, {0x80, 0x45, 0x71, 0x27, 0x40, 0xb3, 0xd8, 0x7f}};

void errInfo() {
    IDispatch* e = create(L"orvcommon.ErrInfo");
    if (!e) return;
    // An omitted optional in the middle, the last one not passed at all.
    call(e, L"ErrInfo",
         {i4(53), bstr(text(L"File not found")), i4(1), bstr(text(L"loc")), missing(),
          bstr(text(L"proc"))});
    check("omitted optionals", get(e, L"classInfo") + L" " + get(e, L"processInfo"), L"8: 8:proc");
    check("names are case-insensitive", get(e, L"ISSUCCESS"), L"11:0");

    // getInfo into the client's own long, BSTR, enumeration and variables;
    // a variable for a Variant parameter gets a Variant, a BSTR gets text.
    LONG number = -1, type = -1;
    BSTR d = SysAllocString(L"old"), l = nullptr, step = SysAllocString(L"old");
    VARIANT cls, status;
    VariantInit(&cls);
    VariantInit(&status);
    call(e, L"getInfo",
         {ref(VT_I4, &number), ref(VT_BSTR, &d), ref(VT_I4, &type), ref(VT_BSTR, &l),
          ref(VT_VARIANT, &cls), missing(), ref(VT_BSTR, &step)},
         &status);
    check("getInfo status", shown(status), L"3:0");
    check("getInfo typed references",
          std::to_wstring(number) + L"|" + str(d) + L"|" + std::to_wstring(type) + L"|" + str(l) +
              L"|" + shown(cls) + L"|" + str(step),
          L"53|File not found|1|loc|8:|");
    owned.insert(owned.end(), {d, l, step});  // the server replaced the texts

    // A structError record as a compiled client declares it: seven Variants,
    // passed with the record description of the registered type library.
    IRecordInfo* info = nullptr;
    ULONG recordSize = 0;
    if (FAILED(GetRecordInfoFromGuids(kLibrary, 1, 0, 0, kStructError, &info)) ||
        FAILED(info->GetSize(&recordSize))) {
        check("record info from the type library", L"missing", L"found");
    } else {
        VARIANT rec[7];
        check("record size", recordSize, sizeof rec);
        for (VARIANT& v : rec)
            VariantInit(&v);
        rec[0] = bstr(SysAllocString(L"3.5"));
        rec[1] = bstr(SysAllocString(L"from record"));
        rec[2] = i2(2);
        rec[6] = bstr(SysAllocString(L"s1"));
        VARIANT arg = vt(VT_RECORD | VT_BYREF);
        V_RECORD(&arg) = rec;
        V_RECORDINFO(&arg) = info;
        call(e, L"ErrInfoNew", {arg}, &status);
        check("record read",
              shown(status) + L" " + get(e, L"numberInfo") + L" " + get(e, L"descriptionInfo") +
                  L" " + get(e, L"stepInfo"),
              L"3:0 3:4 8:from record 8:s1");
        check("record left as it was", shown(rec[1]), L"8:from record");
        for (VARIANT& v : rec)
            VariantClear(&v);
        info->Release();
    }

    // clone into the client's own object variable.
    IDispatch* copy = nullptr;
    run(e, L"clone", {ref(VT_DISPATCH, &copy)});
    check("clone into an object variable", copy ? get(copy, L"descriptionInfo") : L"<nothing>",
          L"8:from record");
    if (copy) copy->Release();

    e->Release();
}

void fileUtility() {
    IDispatch* f = create(L"orvcommon.FileUtility");
    if (!f) return;
    const std::wstring work = _wgetenv(L"ORV_WORK") ? _wgetenv(L"ORV_WORK") : L"";
    BSTR a = text(work + L"\\a.txt");
    run(f, L"writeFile", {bstr(a), i4(0), bstr(text(L"abc"))});

    SHORT count = -1;
    run(f, L"numFileInDir", {bstr(text(work + L"\\*.txt")), ref(VT_I2, &count)});
    check("file count into a short", count, 1);

    // Lines into the client's own array of strings, indexed from 1.
    SAFEARRAY* rows = nullptr;
    LONG lines = -1;
    run(f, L"readAndLoadInArrayByCRLF",
        {bstr(a), ref(VT_ARRAY | VT_BSTR, &rows), ref(VT_I4, &lines)});
    check("lines into a string array and a long", shown(rows) + L" " + std::to_wstring(lines),
          L"1..1|abc 1");
    if (rows) SafeArrayDestroy(rows);

    // A byte string of odd length keeps every byte.
    const std::wstring three = work + L"\\three.bin";
    std::FILE* out = _wfopen(three.c_str(), L"wb");
    std::fwrite("\x00\xff\x41", 1, 3, out);
    std::fclose(out);
    VARIANT bytes;
    VariantInit(&bytes);
    run(f, L"readBinaryFile", {bstr(text(three)), ref(VT_VARIANT, &bytes)});
    check("byte string of three bytes",
          V_VT(&bytes) == VT_BSTR && SysStringByteLen(V_BSTR(&bytes)) == 3 &&
              std::memcmp(V_BSTR(&bytes), "\x00\xff\x41", 3) == 0,
          true);
    VariantClear(&bytes);

    // A table with odd bounds: columns 0..3, rows -1..2; rows 1..2 are read.
    SAFEARRAY* table = strings({{4, 0}, {4, -1}}, {{{1, 1}, L"a"},
                                                   {{2, 1}, L"1"},
                                                   {{1, 2}, L"b c"},
                                                   {{3, 2}, L"x"},
                                                   {{0, -1}, L"never read"}});
    BSTR csv = nullptr;
    run(f, L"getCsvStringFromArray",
        {ref(VT_BSTR, &csv), ref(VT_ARRAY | VT_BSTR, &table), i4(2), i4(3), bstr(text(L";"))});
    owned.push_back(csv);
    check("csv from an odd-bounded table", str(csv), L"\"a\";1;\r\n\"b c\";;\"x\"\r\n");
    check("table keeps its bounds", shown(table), L"0..3,-1..2");
    SafeArrayDestroy(table);
    f->Release();
}

void funzioni() {
    IDispatch* f = create(L"orvcommon.Funzioni");
    if (!f) return;
    // A double variable keeps its type when the text is written back.
    VARIANT r1;
    VariantInit(&r1);
    double d = 12.5;
    call(f, L"getNumberForDB", {i4(1), ref(VT_R8, &d)}, &r1);
    check("double stays a double", d == 12.5 && V_VT(&r1) == VT_BSTR, true);
    VariantClear(&r1);

    // The client's array with bounds 3..6 sorted in place.
    SAFEARRAY* sa = strings({{4, 3}}, {{{3}, L"d"}, {{4}, L"b"}, {{5}, L"C"}, {{6}, L"a"}});
    run(f, L"quickSortArray",
        {ref(VT_ARRAY | VT_BSTR, &sa), i4(3), i4(6), i2(1), i2(1), vt(VT_BOOL)});
    check("sorted in place, bounds kept", shown(sa), L"3..6|a|b|C|d");
    SafeArrayDestroy(sa);
    f->Release();
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        std::printf("FAIL 1\r\n");
        return 1;
    }
    errInfo();
    fileUtility();
    funzioni();
    for (const wchar_t* cls :
         {L"orvcommon.RegistryUtility", L"orvcommon.NxInet", L"orvcommon.Reporting"})
        if (IDispatch* d = create(cls)) d->Release();
    for (BSTR b : owned)
        SysFreeString(b);
    CoUninitialize();
    if (failures == 0)
        std::printf("PASS %d\r\n", checks);
    else
        std::printf("FAIL %d\r\n", failures);
    return failures;
}
