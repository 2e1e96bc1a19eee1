#include "orvcommon/formats/registry_values.hpp"

namespace orv::formats {

std::string regStringData(TextView text) {
    std::string out;
    out.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    out.append(2, '\0');
    return out;
}

std::string regMultiStringData(const std::vector<Text>& items) {
    std::string out;
    for (const Text& t : items)
        out += regStringData(t);
    out.append(2, '\0');
    return out;
}

std::string regDwordData(uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

Text regDataUtf16(std::string_view data) {
    Text t;
    t.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        t.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                          (static_cast<unsigned char>(data[i + 1]) << 8)));
    return t;
}

Text regDataText(std::string_view data) {
    Text t = regDataUtf16(data);
    auto nul = t.find(u'\0');
    if (nul != Text::npos) t.resize(nul);
    return t;
}

std::vector<Text> regDataMultiText(std::string_view data) {
    std::vector<Text> out;
    Text all = regDataUtf16(data);
    size_t start = 0;
    while (start < all.size()) {
        size_t nul = all.find(u'\0', start);
        if (nul == Text::npos) nul = all.size();
        if (nul == start) break;  // the empty string ends the list
        out.push_back(all.substr(start, nul - start));
        start = nul + 1;
    }
    return out;
}

const std::vector<RegRoot>& regRoots() {
    static const std::vector<RegRoot> kRoots = {
        {0x80000000u, u"HKEY_CLASSES_ROOT", u"HKCR"},
        {0x80000001u, u"HKEY_CURRENT_USER", u"HKCU"},
        {0x80000002u, u"HKEY_LOCAL_MACHINE", u"HKLM"},
        {0x80000003u, u"HKEY_USERS", u"HKU"},
        {0x80000004u, u"HKEY_PERFORMANCE_DATA", u"HKPD"},
        {0x80000005u, u"HKEY_CURRENT_CONFIG", u"HKCC"},
        {0x80000006u, u"HKEY_DYN_DATA", u"HKDD"},
    };
    return kRoots;
}

const RegRoot* rootByHandle(uint32_t handle) {
    for (const RegRoot& r : regRoots())
        if (r.handle == handle) return &r;
    return nullptr;
}

const RegRoot* rootByName(TextView name) {
    for (const RegRoot& r : regRoots())
        if (equalsIgnoreCase(name, r.name) || equalsIgnoreCase(name, r.shortName)) return &r;
    return nullptr;
}

Text normaliseKeyPath(TextView path) {
    size_t slash = path.find(u'\\');
    const RegRoot* root = rootByName(path.substr(0, slash));
    if (!root) return Text();
    Text out = root->name;
    if (slash != TextView::npos) {
        Text rest(path.substr(slash + 1));
        while (!rest.empty() && rest.back() == u'\\')
            rest.pop_back();
        if (!rest.empty()) out += u"\\" + rest;
    }
    return out;
}

Text fullKeyPath(uint32_t root, TextView subkey) {
    const RegRoot* r = rootByHandle(root);
    if (!r) return Text();
    while (!subkey.empty() && subkey.back() == u'\\')
        subkey.remove_suffix(1);
    Text out = r->name;
    if (!subkey.empty()) {
        out += u'\\';
        out += subkey;
    }
    return out;
}

bool regNameStorable(TextView name) {
    for (char16_t c : name)
        if (c == u'\0' || c == u'\r' || c == u'\n') return false;
    return true;
}

bool regKeyPathStorable(TextView fullPath) {
    if (fullPath.empty() || !regNameStorable(fullPath)) return false;
    size_t start = 0;
    for (;;) {
        size_t slash = fullPath.find(u'\\', start);
        TextView part =
            fullPath.substr(start, slash == TextView::npos ? TextView::npos : slash - start);
        if (part.empty()) return false;
        if (start == 0 && !rootByName(part)) return false;
        if (slash == TextView::npos) return true;
        start = slash + 1;
    }
}

}  // namespace orv::formats
