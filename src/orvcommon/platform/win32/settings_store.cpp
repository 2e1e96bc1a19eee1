// The settings store on Windows is the registry itself. Values are read with
// RegOpenKeyExA (KEY_READ), RegQueryValueExA into a zero-filled 1024-byte
// buffer (a larger value is queried again at its size) and RegCloseKey;
// written with RegCreateKeyExA and RegSetValueExA. The -A calls carry texts
// in the system's ANSI code page; the library's values hold UTF-16LE, so
// texts are converted on the way in and out. Listing keys and values uses
// the wide calls, which lose nothing.
//
// The registry has no file: every call looks at it as it is, the store path
// is the text "registry" and cannot be moved, and a write is made under the
// registry's own locks.
#include <windows.h>

#include <cstring>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/formats/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
using win32::sys;
using namespace formats;  // import and export are registry export text

namespace {

constexpr DWORD kQueryBuffer = 1024;

HKEY rootKey(uint32_t handle) {
    // Root handles are 32-bit values that the system sign-extends.
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

struct Split {
    const RegRoot* root = nullptr;
    Text subkey;
};

// "HKEY_LOCAL_MACHINE\SOFTWARE\x" -> the root and "SOFTWARE\x".
Split split(TextView keyPath) {
    const Text path = normaliseKeyPath(keyPath);
    const auto sep = path.find(u'\\');
    Split s;
    s.root = rootByName(TextView(path).substr(0, sep));
    if (sep != Text::npos) s.subkey = path.substr(sep + 1);
    return s;
}

bool isText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// UTF-16LE bytes of a value's data from the bytes of an -A query.
std::string fromQueried(DWORD type, const std::string& bytes) {
    if (!isText(type)) return bytes;
    const Text t = win32::fromAnsi(bytes);
    return std::string(reinterpret_cast<const char*>(t.data()), t.size() * 2);
}

// The bytes RegSetValueExA takes for a value held as UTF-16LE.
std::string toStored(uint32_t type, const std::string& data) {
    if (!isText(type)) return data;
    return win32::toAnsi(regDataUtf16(data));
}

// A registry answer as a status: refused access is 70, the rest as the file
// services map the system's codes.
Status status(LONG code) {
    if (code == ERROR_SUCCESS) return Status();
    if (code == ERROR_ACCESS_DENIED) return Failure{err::kPermissionDenied, code};
    return Failure{win32::errorFromOs(static_cast<DWORD>(code)), code};
}

struct KeyCloser {
    HKEY key = nullptr;
    ~KeyCloser() {
        if (key) sys.RegCloseKey(key);
    }
};

// Opens a key through the wide calls (listing, deleting); ERROR_FILE_NOT_FOUND
// when it is not there.
LONG openWide(TextView keyPath, REGSAM access, HKEY& key) {
    key = nullptr;
    const Split s = split(keyPath);
    if (!s.root) return ERROR_FILE_NOT_FOUND;
    return RegOpenKeyExW(rootKey(s.root->handle), win32::wide(s.subkey).c_str(), 0, access, &key);
}

// The registry takes a key path with trailing separators as the key itself.
bool storableKey(TextView keyPath, TextView name = {}) {
    return storable(normaliseKeyPath(keyPath), name);
}

// One value read as the registry reading rule has it: the key opened with
// KEY_READ, the value queried into a zero-filled 1024-byte buffer (a larger
// value is queried again at its size), the key closed in every case.
Result<std::optional<RegValue>> readOne(HKEY root, const std::string& subkey, TextView name) {
    KeyCloser k;
    const LONG opened = sys.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &k.key);
    if (opened != ERROR_SUCCESS) {
        k.key = nullptr;
        if (opened == ERROR_FILE_NOT_FOUND) return std::optional<RegValue>();
        return status(opened).failure();
    }
    const std::string ansiName = win32::toAnsi(name);
    std::string buffer(kQueryBuffer, '\0');
    DWORD type = REG_NONE;
    DWORD size = kQueryBuffer;
    LONG r = sys.RegQueryValueExA(k.key, ansiName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (r == ERROR_MORE_DATA) {
        buffer.assign(size, '\0');
        r = sys.RegQueryValueExA(k.key, ansiName.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (r == ERROR_FILE_NOT_FOUND) return std::optional<RegValue>();
    if (r != ERROR_SUCCESS) return status(r).failure();
    buffer.resize(size);
    return std::optional<RegValue>(RegValue{Text(name), type, fromQueried(type, buffer)});
}

}  // namespace

// The registry is the store on Windows; its name for people.
Text settingsstoreService() {
    return u"registry";
}

Text settingsStorePath() {
    return services.settingsstore();
}

// The registry is the one store on Windows: there is no path to move.
void setSettingsStorePath(std::optional<Text> path) {
    (void)path;
}

Result<std::optional<RegValue>> readValue(TextView keyPath, TextView name) {
    const Split s = split(keyPath);
    if (!s.root) return Failure{err::kInvalidArgument};
    return readOne(rootKey(s.root->handle), win32::toAnsi(s.subkey), name);
}

Result<std::vector<std::optional<RegValue>>> readValues(TextView keyPath,
                                                        std::initializer_list<TextView> names) {
    const Split s = split(keyPath);
    if (!s.root) return Failure{err::kInvalidArgument};
    const std::string subkey = win32::toAnsi(s.subkey);
    std::vector<std::optional<RegValue>> out;
    for (TextView name : names) {
        auto one = readOne(rootKey(s.root->handle), subkey, name);
        if (!one) return one.failure();
        out.push_back(std::move(*one));
    }
    return out;
}

Result<bool> keyExists(TextView keyPath) {
    KeyCloser k;
    const LONG r = openWide(keyPath, KEY_READ, k.key);
    if (r == ERROR_FILE_NOT_FOUND) return false;
    if (r != ERROR_SUCCESS) return status(r).failure();
    return true;
}

Result<std::vector<RegValue>> keyValues(TextView keyPath) {
    std::vector<RegValue> out;
    KeyCloser k;
    const LONG opened = openWide(keyPath, KEY_READ, k.key);
    if (opened == ERROR_FILE_NOT_FOUND) return out;
    if (opened != ERROR_SUCCESS) return status(opened).failure();
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        LONG r = RegEnumValueW(k.key, i, name, &nameLength, nullptr, &type, nullptr, &size);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return status(r).failure();
        std::string data(size, '\0');
        nameLength = 16384;
        r = RegEnumValueW(k.key, i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size);
        if (r != ERROR_SUCCESS) return status(r).failure();
        data.resize(size);
        out.push_back(RegValue{win32::fromWide(name, nameLength), type, std::move(data)});
    }
    return out;
}

Result<std::vector<Text>> subkeys(TextView keyPath) {
    std::vector<Text> out;
    KeyCloser k;
    const LONG opened = openWide(keyPath, KEY_READ, k.key);
    if (opened == ERROR_FILE_NOT_FOUND) return out;
    if (opened != ERROR_SUCCESS) return status(opened).failure();
    const Text prefix = normaliseKeyPath(keyPath) + u"\\";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG r = RegEnumKeyExW(k.key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return status(r).failure();
        out.push_back(prefix + win32::fromWide(name, length));
    }
    return out;
}

Status writeValue(TextView keyPath, const RegValue& value) {
    if (!storableKey(keyPath, value.name)) return Failure{err::kInvalidArgument};
    const Split s = split(keyPath);
    KeyCloser k;
    LONG r =
        sys.RegCreateKeyExA(rootKey(s.root->handle), win32::toAnsi(s.subkey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &k.key, nullptr);
    if (r != ERROR_SUCCESS) {
        k.key = nullptr;
        return status(r);
    }
    const std::string bytes = toStored(value.type, value.data);
    r = sys.RegSetValueExA(k.key, win32::toAnsi(value.name).c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
    return status(r);
}

Status createKey(TextView keyPath) {
    if (!storableKey(keyPath)) return Failure{err::kInvalidArgument};
    const Split s = split(keyPath);
    KeyCloser k;
    const LONG r =
        sys.RegCreateKeyExA(rootKey(s.root->handle), win32::toAnsi(s.subkey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &k.key, nullptr);
    if (r != ERROR_SUCCESS) k.key = nullptr;
    return status(r);
}

Status deleteValue(TextView keyPath, TextView name) {
    if (!storableKey(keyPath, name)) return Failure{err::kInvalidArgument};
    KeyCloser k;
    const LONG opened = openWide(keyPath, KEY_SET_VALUE, k.key);
    if (opened == ERROR_FILE_NOT_FOUND) return Status();
    if (opened != ERROR_SUCCESS) return status(opened);
    const LONG r = RegDeleteValueW(k.key, win32::wide(name).c_str());
    return r == ERROR_FILE_NOT_FOUND ? Status() : status(r);
}

Status deleteValues(TextView keyPath) {
    auto values = keyValues(keyPath);
    if (!values) return values.failure();
    for (const RegValue& v : *values)
        if (Status s = deleteValue(keyPath, v.name); !s) return s;
    return Status();
}

Status deleteKey(TextView keyPath) {
    if (!storableKey(keyPath)) return Failure{err::kInvalidArgument};
    const Split s = split(keyPath);
    if (s.subkey.empty()) return Failure{err::kInvalidArgument};
    const std::wstring sub = win32::wide(s.subkey);
    LONG r = RegDeleteTreeW(rootKey(s.root->handle), sub.c_str());
    if (r == ERROR_SUCCESS) r = RegDeleteKeyW(rootKey(s.root->handle), sub.c_str());
    return r == ERROR_FILE_NOT_FOUND ? Status() : status(r);
}

// The key and everything below it, read from the registry into the export
// text form.
Result<std::string> exportKey(TextView keyPath) {
    RegistryDocument doc;
    const Text top = normaliseKeyPath(keyPath);
    std::vector<Text> pending{top};
    while (!pending.empty()) {
        const Text path = pending.front();
        pending.erase(pending.begin());
        auto exists = keyExists(path);
        if (!exists) return exists.failure();
        if (!*exists) continue;
        doc.ensure(path);
        auto values = keyValues(path);
        if (!values) return values.failure();
        for (RegValue& v : *values)
            doc.setValue(path, std::move(v));
        auto below = subkeys(path);
        if (!below) return below.failure();
        pending.insert(pending.begin(), below->begin(), below->end());
    }
    return writeRegText(doc.subtree(top));
}

// Applies export text change by change: the registry has no transaction
// over several keys, so a change it refuses ends the import with what went
// before it kept.
Status importText(std::string_view text, std::vector<StoreLineError>* errors) {
    const RegParse parsed = parseRegText(text);
    if (!parsed.errors.empty()) {
        if (errors) *errors = parsed.errors;
        return Failure{err::kInvalidArgument};
    }
    for (const RegOp& op : parsed.ops) {
        Status r;
        switch (op.kind) {
            case RegOp::EnsureKey:
                r = createKey(op.path);
                break;
            case RegOp::DeleteKey:
                r = deleteKey(op.path);
                break;
            case RegOp::SetValue:
                r = writeValue(op.path, op.value);
                break;
            case RegOp::DeleteValue:
                r = deleteValue(op.path, op.value.name);
                break;
        }
        if (!r) return r;
    }
    return Status();
}

// The registry keeps no text to misread.
Result<std::vector<StoreLineError>> unreadableLines() {
    return std::vector<StoreLineError>();
}

}  // namespace orv::platform
