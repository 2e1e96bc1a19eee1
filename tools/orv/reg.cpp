// `orv reg`: looks after the settings store from the command line, in the
// manner of the Windows `reg` command (query, add, delete, export, import).
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvcommon/orv_tool_internal.hpp"

namespace orv::tool {
namespace {

using namespace orv::platform;
using namespace orv::formats;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: orv reg [--store PATH] OPERATION ...\n"
    "\n"
    "  orv reg query KEY [/v NAME | /ve] [/s]\n"
    "  orv reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "  orv reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "  orv reg export KEY FILE [/y]\n"
    "  orv reg import FILE\n"
    "\n"
    "KEY is ROOT\\SUBKEY, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC or the full root name\n"
    "(HKEY_LOCAL_MACHINE ...). TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_DWORD,\n"
    "REG_QWORD, REG_MULTI_SZ (items separated by \\0 or by /s SEPARATOR) or REG_BINARY\n"
    "(hexadecimal digits). /f and /y answer yes to every question.\n"
    "The store is --store PATH, else $ORV_REGISTRY, else /etc/orvcommon/registry.reg.\n"
    "Exit code 0 on success, 1 on failure, 2 on a usage error.\n";

struct UsageError {
    std::string message;
};

// The arguments after the operation name: positional words and switches.
struct Args {
    std::vector<std::string> words;
    std::optional<std::string> valueName;  // /v NAME
    bool defaultValue = false;             // /ve
    bool allValues = false;                // /va
    bool recurse = false;                  // /s (query)
    bool force = false;                    // /f, /y
    std::optional<std::string> type;       // /t
    std::optional<std::string> data;       // /d
    std::optional<std::string> separator;  // /s (add)
};

bool isSwitch(const std::string& a, const char* name) {
    if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) return false;
    return equalsIgnoreCase(fromUtf8(a.substr(1)), fromUtf8(name));
}

// "/x", "-xy": a switch this operation does not know (a file name such as
// "/tmp/a.reg" is not taken for one).
bool looksLikeSwitch(const std::string& s) {
    if (s.size() < 2 || s.size() > 3 || (s[0] != '/' && s[0] != '-')) return false;
    for (size_t i = 1; i < s.size(); ++i)
        if (!std::isalpha(static_cast<unsigned char>(s[i])) && s[i] != '?') return false;
    return true;
}

Args parseArgs(const std::string& op, const std::vector<std::string>& in) {
    Args a;
    auto take = [&](size_t& i) -> std::string {
        if (i + 1 >= in.size()) throw UsageError{in[i] + " needs a value"};
        return in[++i];
    };
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& s = in[i];
        if (isSwitch(s, "v")) {
            a.valueName = take(i);
        } else if (isSwitch(s, "ve")) {
            a.defaultValue = true;
        } else if (isSwitch(s, "va") && op == "delete") {
            a.allValues = true;
        } else if (isSwitch(s, "s") && op == "query") {
            a.recurse = true;
        } else if (isSwitch(s, "s") && op == "add") {
            a.separator = take(i);
        } else if (isSwitch(s, "f") || (isSwitch(s, "y") && op == "export")) {
            a.force = true;
        } else if (isSwitch(s, "t") && op == "add") {
            a.type = take(i);
        } else if (isSwitch(s, "d") && op == "add") {
            a.data = take(i);
        } else if (looksLikeSwitch(s)) {
            throw UsageError{"unknown switch " + s};
        } else {
            a.words.push_back(s);
        }
    }
    if (int(a.valueName.has_value()) + int(a.defaultValue) + int(a.allValues) > 1)
        throw UsageError{"give only one of /v, /ve and /va"};
    return a;
}

// The key argument as a full path; a usage error names what is wrong.
Text keyArgument(const std::string& arg) {
    Text path = normaliseKeyPath(fromUtf8(arg));
    if (path.empty()) {
        // HKLM/SOFTWARE/VELN: the separator, not the root, is what is wrong.
        if (arg.find('/') != std::string::npos && arg.find('\\') == std::string::npos) {
            std::string fixed = arg;
            std::replace(fixed.begin(), fixed.end(), '/', '\\');
            throw UsageError{"unknown root in key " + arg +
                             ": keys are written with backslashes, as in '" + fixed + "'"};
        }
        std::string known;
        for (const RegRoot& r : regRoots())
            known += (known.empty() ? "" : ", ") + toUtf8(r.shortName);
        throw UsageError{"unknown root in key " + arg + " (known: " + known +
                         ", or the full names)"};
    }
    if (!regKeyPathStorable(path)) throw UsageError{"invalid key name " + arg};
    return path;
}

std::string displayName(TextView name) {
    return name.empty() ? "(Default)" : toUtf8(name);
}

std::string quotedName(TextView name) {
    return name.empty() ? "(Default)" : "\"" + toUtf8(name) + "\"";
}

bool confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    Text a = trimSpaces(fromUtf8(answer));
    return equalsIgnoreCase(a, u"y") || equalsIgnoreCase(a, u"yes");
}

int cancelled() {
    std::cerr << "orv reg: the operation was cancelled\n";
    return kFailed;
}

// A look at the store that failed: reported once, by run().
struct StoreUnreadable {
    int32_t error;
};

template <class T>
T orFail(Result<T> r) {
    if (!r) throw StoreUnreadable{r.error()};
    return std::move(*r);
}

void warnUnreadLines() {
    for (const StoreLineError& e : orFail(unreadableLines()))
        std::cerr << "orv reg: warning: " << toUtf8(settingsStorePath()) << " line " << e.line
                  << ": " << e.message << " (line ignored)\n";
}

// Reports the outcome of a change of the store, naming `what`.
int store(const std::string& what, const Status& r) {
    if (r) {
        std::cout << "The operation completed successfully.\n";
        return kOk;
    }
    std::cerr << "orv reg: " << what << " failed: " << describeStoreFailure(r.error()) << "\n";
    return kFailed;
}

int keyNotFound(const Text& path) {
#ifndef _WIN32
    // The store file itself may be what is missing.
    if (!fileExists(settingsStorePath())) {
        std::cerr << "orv reg: key " << toUtf8(path) << " not found: the store file "
                  << toUtf8(settingsStorePath())
                  << " does not exist (ORV_REGISTRY or --store PATH names the store to use)\n";
        return kFailed;
    }
#endif
    std::cerr << "orv reg: key " << toUtf8(path) << " not found in " << toUtf8(settingsStorePath())
              << "\n";
    return kFailed;
}

// ---- query

const char* typeName(uint32_t type) {
    switch (type) {
        case kRegNone:
            return "REG_NONE";
        case kRegSz:
            return "REG_SZ";
        case kRegExpandSz:
            return "REG_EXPAND_SZ";
        case kRegBinary:
            return "REG_BINARY";
        case kRegDword:
            return "REG_DWORD";
        case 5:
            return "REG_DWORD_BIG_ENDIAN";
        case 6:
            return "REG_LINK";
        case kRegMultiSz:
            return "REG_MULTI_SZ";
        case 8:
            return "REG_RESOURCE_LIST";
        case 9:
            return "REG_FULL_RESOURCE_DESCRIPTOR";
        case 10:
            return "REG_RESOURCE_REQUIREMENTS_LIST";
        case kRegQword:
            return "REG_QWORD";
        default:
            return nullptr;
    }
}

std::string hexBytes(const std::string& data) {
    std::string out;
    char buf[4];
    for (unsigned char c : data) {
        std::snprintf(buf, sizeof buf, "%02X", c);
        out += buf;
    }
    return out;
}

std::string dataText(const RegValue& v) {
    switch (v.type) {
        case kRegSz:
        case kRegExpandSz:
            return toUtf8(regDataText(v.data));
        case kRegMultiSz: {
            std::string out;
            for (const Text& item : regDataMultiText(v.data)) {
                if (!out.empty()) out += "\\0";
                out += toUtf8(item);
            }
            return out;
        }
        case kRegDword:
        case kRegQword:
            if (v.data.size() == (v.type == kRegDword ? 4u : 8u)) {
                unsigned long long x = 0;
                for (size_t i = v.data.size(); i-- > 0;)
                    x = (x << 8) | static_cast<unsigned char>(v.data[i]);
                char buf[24];
                std::snprintf(buf, sizeof buf, "0x%llx", x);
                return buf;
            }
            return hexBytes(v.data);
        default:
            return hexBytes(v.data);
    }
}

void printValue(const RegValue& v) {
    const char* type = typeName(v.type);
    char unknown[16];
    if (!type) {
        std::snprintf(unknown, sizeof unknown, "0x%x", v.type);
        type = unknown;
    }
    std::cout << "    " << displayName(v.name) << "    " << type << "    " << dataText(v) << "\n";
}

// The value of that name (compared without regard to case), or null.
const RegValue* findValue(const std::vector<RegValue>& values, TextView name) {
    for (const RegValue& v : values)
        if (equalsIgnoreCase(v.name, name)) return &v;
    return nullptr;
}

// Prints a key (its values, or just `only`), then its subkeys: their names,
// or with `recurse` their whole contents. Returns the number of matches.
size_t printKey(const Text& path, const Args& a, bool recurse) {
    const std::vector<RegValue> values = orFail(keyValues(path));
    size_t matches = 0;
    if (a.valueName || a.defaultValue) {
        Text name = a.valueName ? fromUtf8(*a.valueName) : Text();
        const RegValue* v = findValue(values, name);
        if (v) {
            std::cout << "\n" << toUtf8(path) << "\n";
            printValue(*v);
            ++matches;
        }
    } else {
        std::cout << "\n" << toUtf8(path) << "\n";
        for (const RegValue& v : values)
            printValue(v);
        ++matches;
    }
    const std::vector<Text> children = orFail(subkeys(path));
    for (size_t i = 0; i < children.size(); ++i) {
        if (recurse)
            matches += printKey(children[i], a, true);
        else if (!a.valueName && !a.defaultValue)
            std::cout << (i == 0 ? "\n" : "") << toUtf8(children[i]) << "\n";
    }
    return matches;
}

int query(const Args& a) {
    if (a.words.size() != 1) throw UsageError{"query takes one KEY"};
    const Text path = keyArgument(a.words[0]);
    warnUnreadLines();
    if (!orFail(keyExists(path))) return keyNotFound(path);
    size_t matches = printKey(path, a, a.recurse);
    if ((a.valueName || a.defaultValue) && matches == 0) {
        std::cerr << "orv reg: value " << quotedName(a.valueName ? fromUtf8(*a.valueName) : Text())
                  << " not found in " << toUtf8(path) << (a.recurse ? " or its subkeys" : "")
                  << "\n";
        return kFailed;
    }
    std::cout << "\n";
    return kOk;
}

// ---- add

bool parseUnsigned(const std::string& s, unsigned long long max, unsigned long long& out) {
    if (s.empty()) return false;
    size_t i = 0;
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    unsigned long long v = 0;
    for (; i < s.size(); ++i) {
        int d;
        char c = s[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (max - static_cast<unsigned long long>(d)) / static_cast<unsigned>(base))
            return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    out = v;
    return true;
}

RegValue valueFromArgs(const Args& a, Text name) {
    RegValue v;
    v.name = std::move(name);
    const std::string type = a.type ? toUtf8(toUpper(fromUtf8(*a.type))) : "REG_SZ";
    const std::string data = a.data.value_or("");
    if (a.separator && type != "REG_MULTI_SZ") throw UsageError{"/s is for REG_MULTI_SZ only"};
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        v.type = type == "REG_SZ" ? kRegSz : kRegExpandSz;
        v.data = regStringData(fromUtf8(data));
    } else if (type == "REG_DWORD" || type == "REG_QWORD") {
        const bool dword = type == "REG_DWORD";
        unsigned long long x = 0;
        if (!parseUnsigned(data, dword ? 0xFFFFFFFFull : ~0ull, x))
            throw UsageError{"invalid " + type + " data '" + data +
                             "' (a decimal or 0x-hexadecimal number)"};
        v.type = dword ? kRegDword : kRegQword;
        for (int i = 0; i < (dword ? 4 : 8); ++i)
            v.data.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
    } else if (type == "REG_MULTI_SZ") {
        const std::string sep = a.separator.value_or("\\0");
        if (sep.empty()) throw UsageError{"the /s separator is empty"};
        std::vector<Text> items;
        size_t start = 0;
        while (!data.empty()) {
            size_t at = data.find(sep, start);
            std::string item = data.substr(start, at == std::string::npos ? at : at - start);
            if (item.empty()) throw UsageError{"REG_MULTI_SZ data holds an empty item"};
            items.push_back(fromUtf8(item));
            if (at == std::string::npos) break;
            start = at + sep.size();
        }
        v.type = kRegMultiSz;
        v.data = regMultiStringData(items);
    } else if (type == "REG_BINARY") {
        if (data.size() % 2 != 0) throw UsageError{"REG_BINARY data needs pairs of hex digits"};
        v.type = kRegBinary;
        for (size_t i = 0; i < data.size(); i += 2) {
            unsigned long long byte = 0;
            if (!parseUnsigned("0x" + data.substr(i, 2), 0xFF, byte))
                throw UsageError{"REG_BINARY data '" + data + "' is not hexadecimal"};
            v.data.push_back(static_cast<char>(byte));
        }
    } else {
        throw UsageError{"unsupported type " + *a.type};
    }
    return v;
}

int add(const Args& a) {
    if (a.words.size() != 1) throw UsageError{"add takes one KEY"};
    const Text path = keyArgument(a.words[0]);
    if (!a.valueName && !a.defaultValue) {
        if (a.type || a.data) throw UsageError{"/t and /d need /v NAME or /ve"};
        return store("key " + toUtf8(path), createKey(path));
    }
    const Text name = a.valueName ? fromUtf8(*a.valueName) : Text();
    if (!regNameStorable(name)) throw UsageError{"invalid value name " + *a.valueName};
    const RegValue value = valueFromArgs(a, name);
    const std::string what = "value " + quotedName(name) + " of " + toUtf8(path);
    if (!a.force) {
        if (findValue(orFail(keyValues(path)), name) &&
            !confirm("Value " + displayName(name) + " exists, overwrite"))
            return cancelled();
    }
    return store(what, writeValue(path, value));
}

// ---- delete

int remove(const Args& a) {
    if (a.words.size() != 1) throw UsageError{"delete takes one KEY"};
    const Text path = keyArgument(a.words[0]);
    if (path.find(u'\\') == Text::npos) {
        std::cerr << "orv reg: the root " << toUtf8(path) << " cannot be deleted\n";
        return kFailed;
    }
    if (!orFail(keyExists(path))) return keyNotFound(path);
    if (a.valueName || a.defaultValue) {
        const Text name = a.valueName ? fromUtf8(*a.valueName) : Text();
        if (!findValue(orFail(keyValues(path)), name)) {
            std::cerr << "orv reg: value " << quotedName(name) << " not found in " << toUtf8(path)
                      << "\n";
            return kFailed;
        }
        if (!a.force && !confirm("Delete the registry value " + displayName(name)))
            return cancelled();
        return store("deleting value " + quotedName(name) + " of " + toUtf8(path),
                     deleteValue(path, name));
    }
    if (a.allValues) {
        if (!a.force && !confirm("Delete all values under the registry key " + toUtf8(path)))
            return cancelled();
        return store("deleting the values of " + toUtf8(path), deleteValues(path));
    }
    if (!a.force && !confirm("Permanently delete the registry key " + toUtf8(path)))
        return cancelled();
    return store("deleting key " + toUtf8(path), deleteKey(path));
}

// ---- export and import

bool fileExists(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

int exportKey(const Args& a) {
    if (a.words.size() != 2) throw UsageError{"export takes KEY and FILE"};
    const Text path = keyArgument(a.words[0]);
    const std::string& file = a.words[1];
    warnUnreadLines();
    if (!orFail(keyExists(path))) return keyNotFound(path);
    if (!a.force && fileExists(file) && !confirm("File " + file + " already exists. Overwrite"))
        return cancelled();
    const std::string text = orFail(platform::exportKey(path));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "orv reg: cannot open " << file << ": " << std::strerror(errno) << "\n";
        return kFailed;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::cerr << "orv reg: cannot write " << file << ": " << std::strerror(errno) << "\n";
        return kFailed;
    }
    std::cout << "The operation completed successfully.\n";
    return kOk;
}

int import(const Args& a) {
    if (a.words.size() != 1) throw UsageError{"import takes one FILE"};
    const std::string& file = a.words[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "orv reg: cannot open " << file << ": " << std::strerror(errno) << "\n";
        return kFailed;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<StoreLineError> errors;
    Status r = importText(text, &errors);
    if (!errors.empty()) {
        for (const StoreLineError& e : errors)
            std::cerr << "orv reg: " << file << " line " << e.line << ": " << e.message << "\n";
        std::cerr << "orv reg: nothing imported\n";
        return kFailed;
    }
    // Lines the import passed over on purpose (values under a deleted key).
    for (const StoreLineError& w : regTextWarnings(text))
        std::cerr << "orv reg: warning: " << file << " line " << w.line << ": " << w.message
                  << "\n";
    return store("importing " + file, r);
}

int run(const std::vector<std::string>& all) {
    std::vector<std::string> args;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == "--store") {
            if (i + 1 >= all.size()) {
                std::cerr << "orv reg: --store needs a PATH\n" << kUsageText;
                return kUsage;
            }
            setSettingsStorePath(fromUtf8(all[++i]));
        } else if (all[i].rfind("--store=", 0) == 0) {
            setSettingsStorePath(fromUtf8(all[i].substr(8)));
        } else {
            args.push_back(all[i]);
        }
    }
    if (args.empty()) {
        std::cerr << kUsageText;
        return kUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "/?") {
        std::cout << kUsageText;
        return kOk;
    }
    const std::string op = toUtf8(toLower(fromUtf8(args[0])));
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& s : rest) {
        if (s == "--help" || s == "/?") {
            std::cout << kUsageText;
            return kOk;
        }
    }
    try {
        const Args a = parseArgs(op, rest);
        if (op == "query") return query(a);
        if (op == "add") return add(a);
        if (op == "delete") return remove(a);
        if (op == "export") return exportKey(a);
        if (op == "import") return import(a);
        throw UsageError{"unknown operation " + args[0]};
    } catch (const UsageError& e) {
        std::cerr << "orv reg: " << e.message << "\n'orv reg --help' describes the command.\n";
        return kUsage;
    } catch (const StoreUnreadable& e) {
        std::cerr << "orv reg: cannot read the store: " << describeStoreFailure(e.error) << "\n";
        return kFailed;
    }
}

const CommandRegistrar kRegistrar{
    {"reg", "look after the settings store (query, add, delete, export, import)", &run}};

}  // namespace
}  // namespace orv::tool
