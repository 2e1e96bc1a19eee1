// The settings store on Windows is the registry itself. Values are read with
// RegOpenKeyExA (KEY_READ), RegQueryValueExA into a zero-filled 1024-byte
// buffer (a larger value is queried again at its size) and RegCloseKey;
// written with RegCreateKeyExA and RegSetValueExA. The -A calls carry texts
// in the system's ANSI code page; the library's values hold UTF-16LE, so
// texts are converted on the way in and out. Listing keys and values uses
// the wide calls, which lose nothing.
//
// The registry has no file: a snapshot is only a marker of one look at it
// (every read goes to the registry), the store path is the text "registry"
// and cannot be moved, and a write is made under the registry's own locks,
// not the store's.
#include <windows.h>

#include <cstring>
#include <mutex>

#include "orvcommon/platform/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
using win32::sys;

class StoreSnapshot {};

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
Split split(TextView fullPath) {
    const Text path = normaliseKeyPath(fullPath);
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

StoreWriteResult result(LONG code, const std::string& what) {
    StoreWriteResult r;
    if (code == ERROR_SUCCESS) {
        r.status = StoreWrite::Ok;
        return r;
    }
    r.status = code == ERROR_ACCESS_DENIED ? StoreWrite::Refused : StoreWrite::Failed;
    r.message = what + ": system error " + std::to_string(code);
    return r;
}

struct KeyCloser {
    HKEY key = nullptr;
    ~KeyCloser() {
        if (key) sys.RegCloseKey(key);
    }
};

// Opens a key for reading through the wide calls (listing).
HKEY openWide(TextView fullPath, REGSAM access) {
    const Split s = split(fullPath);
    if (!s.root) return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey(s.root->handle), win32::wide(s.subkey).c_str(), 0, access, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

StoreWriteResult setValue(const Split& s, const RegValue& value) {
    if (!s.root) return result(ERROR_INVALID_PARAMETER, "unknown root");
    KeyCloser k;
    LONG r =
        sys.RegCreateKeyExA(rootKey(s.root->handle), win32::toAnsi(s.subkey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &k.key, nullptr);
    if (r != ERROR_SUCCESS) return result(r, "cannot create key " + toUtf8(s.subkey));
    const std::string bytes = toStored(value.type, value.data);
    r = sys.RegSetValueExA(k.key, win32::toAnsi(value.name).c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
    return result(r, "cannot write value " + toUtf8(value.name));
}

LONG deleteTree(TextView fullPath) {
    const Split s = split(fullPath);
    if (!s.root || s.subkey.empty()) return ERROR_INVALID_PARAMETER;
    const std::wstring sub = win32::wide(s.subkey);
    LONG r = RegDeleteTreeW(rootKey(s.root->handle), sub.c_str());
    if (r == ERROR_SUCCESS) r = RegDeleteKeyW(rootKey(s.root->handle), sub.c_str());
    return r == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : r;
}

}  // namespace

Text settingsStorePath() {
    return u"registry";
}

// The registry is the one store on Windows: there is no path to move.
void setSettingsStorePath(std::optional<Text> path) {
    (void)path;
}

// A fresh marker on every call: callers that keep what they read against
// the snapshot read again, as the registry may have changed.
std::shared_ptr<const StoreSnapshot> loadSettingsStore() {
    return std::make_shared<const StoreSnapshot>();
}

SettingRead readSetting(uint32_t root, TextView keyPath, TextView valueName) {
    SettingRead out;
    KeyCloser k;
    if (sys.RegOpenKeyExA(rootKey(root), win32::toAnsi(keyPath).c_str(), 0, KEY_READ, &k.key) !=
        ERROR_SUCCESS) {
        k.key = nullptr;
        return out;  // NoKey
    }
    const std::string name = win32::toAnsi(valueName);
    std::string buffer(kQueryBuffer, '\0');
    DWORD type = REG_NONE;
    DWORD size = kQueryBuffer;
    LONG r = sys.RegQueryValueExA(k.key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (r == ERROR_MORE_DATA) {
        buffer.assign(size, '\0');
        r = sys.RegQueryValueExA(k.key, name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (r != ERROR_SUCCESS) {
        out.status = SettingStatus::NoValue;
        return out;
    }
    buffer.resize(size);
    out.status = SettingStatus::Ok;
    out.type = type;
    out.data = fromQueried(type, buffer);
    return out;
}

SettingRead readSetting(const StoreSnapshot&, uint32_t root, TextView keyPath, TextView valueName) {
    return readSetting(root, keyPath, valueName);
}

std::vector<SettingRead> readSettings(const StoreSnapshot&, uint32_t root, TextView keyPath,
                                      std::initializer_list<TextView> names) {
    std::vector<SettingRead> out;
    for (TextView name : names)
        out.push_back(readSetting(root, keyPath, name));
    return out;
}

bool keyExists(const StoreSnapshot&, TextView fullPath) {
    KeyCloser k{openWide(fullPath, KEY_READ)};
    return k.key != nullptr;
}

std::vector<RegValue> keyValues(const StoreSnapshot&, TextView fullPath) {
    std::vector<RegValue> out;
    KeyCloser k{openWide(fullPath, KEY_READ)};
    if (!k.key) return out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(k.key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameLength = 16384;
        if (RegEnumValueW(k.key, i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
            break;
        data.resize(size);
        out.push_back(RegValue{win32::fromWide(name, nameLength), type, std::move(data)});
    }
    return out;
}

std::vector<Text> subkeys(const StoreSnapshot&, TextView fullPath) {
    std::vector<Text> out;
    KeyCloser k{openWide(fullPath, KEY_READ)};
    if (!k.key) return out;
    const Text prefix = normaliseKeyPath(fullPath) + u"\\";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(k.key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        out.push_back(prefix + win32::fromWide(name, length));
    }
    return out;
}

// The registry has no text lines to misread.
const std::vector<StoreLineError>& unreadLines(const StoreSnapshot&) {
    static const std::vector<StoreLineError> kNone;
    return kNone;
}

StoreWriteResult writeValue(TextView fullPath, const RegValue& value) {
    return setValue(split(fullPath), value);
}

StoreWriteResult writeTextValue(TextView fullPath, TextView name, TextView text) {
    return writeValue(fullPath, RegValue{Text(name), kRegSz, regStringData(text)});
}

StoreWriteResult writeDwordValue(TextView fullPath, TextView name, uint32_t value) {
    return writeValue(fullPath, RegValue{Text(name), kRegDword, regDwordData(value)});
}

StoreWriteResult createKey(TextView fullPath) {
    const Split s = split(fullPath);
    if (!s.root) return result(ERROR_INVALID_PARAMETER, "unknown root");
    KeyCloser k;
    const LONG r =
        sys.RegCreateKeyExA(rootKey(s.root->handle), win32::toAnsi(s.subkey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &k.key, nullptr);
    return result(r, "cannot create key " + toUtf8(s.subkey));
}

StoreWriteResult deleteValue(TextView fullPath, TextView name) {
    KeyCloser k{openWide(fullPath, KEY_SET_VALUE)};
    if (!k.key) return result(ERROR_SUCCESS, "");
    LONG r = RegDeleteValueW(k.key, win32::wide(name).c_str());
    if (r == ERROR_FILE_NOT_FOUND) r = ERROR_SUCCESS;
    return result(r, "cannot delete value " + toUtf8(name));
}

StoreWriteResult deleteValues(TextView fullPath) {
    for (const RegValue& v : keyValues(StoreSnapshot{}, fullPath)) {
        StoreWriteResult r = deleteValue(fullPath, v.name);
        if (!r.ok()) return r;
    }
    return result(ERROR_SUCCESS, "");
}

StoreWriteResult deleteKey(TextView fullPath) {
    return result(deleteTree(fullPath), "cannot delete key " + toUtf8(fullPath));
}

// The key and everything below it, read from the registry into the export
// text form.
std::string exportKey(const StoreSnapshot& snapshot, TextView fullPath) {
    RegDocument doc;
    std::vector<Text> pending{normaliseKeyPath(fullPath)};
    while (!pending.empty()) {
        const Text path = pending.front();
        pending.erase(pending.begin());
        if (!keyExists(snapshot, path)) continue;
        doc.ensure(path);
        for (RegValue& v : keyValues(snapshot, path))
            doc.setValue(path, std::move(v));
        const auto below = subkeys(snapshot, path);
        pending.insert(pending.begin(), below.begin(), below.end());
    }
    return writeRegText(doc.subtree(normaliseKeyPath(fullPath)));
}

// Applies export text change by change; the first change the registry
// refuses ends the import (what went before it stays).
StoreWriteResult importText(std::string_view text, std::vector<StoreLineError>* errors) {
    const RegParse parsed = parseRegText(text);
    if (!parsed.errors.empty()) {
        if (errors) *errors = parsed.errors;
        StoreWriteResult r;
        r.status = StoreWrite::Failed;
        r.message = "the text has lines that cannot be read";
        return r;
    }
    for (const RegOp& op : parsed.ops) {
        StoreWriteResult r;
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
        if (!r.ok()) return r;
    }
    return result(ERROR_SUCCESS, "");
}

bool writeSetting(uint32_t root, TextView keyPath, const RegValue& value) {
    const RegRoot* r = rootByHandle(root);
    if (!r) return false;
    Text full = r->name;
    if (!keyPath.empty()) full += u"\\" + Text(keyPath);
    Text normalised = normaliseKeyPath(full);
    if (!regKeyPathStorable(normalised) || !regNameStorable(value.name)) return false;
    return writeValue(normalised, value).ok();
}

}  // namespace orv::platform
