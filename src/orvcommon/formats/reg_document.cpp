#include "orvcommon/formats/reg_document.hpp"

#include <algorithm>
#include <cstdio>

#include "orvcommon/base/cp1252.hpp"

namespace orv::formats {

const RegValue* RegKey::find(TextView name) const {
    for (const RegValue& v : values)
        if (equalsIgnoreCase(v.name, name)) return &v;
    return nullptr;
}

const RegKey* RegistryDocument::find(TextView path) const {
    auto it = index_.find(toUpper(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

bool RegistryDocument::keyExists(TextView path) const {
    if (find(path)) return true;
    Text prefix = toUpper(path) + u"\\";
    for (const auto& [upper, pos] : index_)
        if (upper.size() > prefix.size() && upper.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

RegKey& RegistryDocument::ensure(TextView path) {
    Text upper = toUpper(path);
    auto it = index_.find(upper);
    if (it != index_.end()) return keys_[it->second];
    keys_.push_back(RegKey{Text(path), {}});
    index_.emplace(std::move(upper), keys_.size() - 1);
    return keys_.back();
}

void RegistryDocument::setValue(TextView path, RegValue v) {
    RegKey& k = ensure(path);
    for (RegValue& existing : k.values) {
        if (equalsIgnoreCase(existing.name, v.name)) {
            existing.type = v.type;
            existing.data = std::move(v.data);
            return;
        }
    }
    k.values.push_back(std::move(v));
}

bool RegistryDocument::deleteValue(TextView path, TextView name) {
    auto it = index_.find(toUpper(path));
    if (it == index_.end()) return false;
    auto& vals = keys_[it->second].values;
    for (auto v = vals.begin(); v != vals.end(); ++v) {
        if (equalsIgnoreCase(v->name, name)) {
            vals.erase(v);
            return true;
        }
    }
    return false;
}

bool RegistryDocument::deleteKey(TextView path) {
    Text upper = toUpper(path);
    Text prefix = upper + u"\\";
    size_t before = keys_.size();
    std::erase_if(keys_, [&](const RegKey& k) {
        Text u = toUpper(k.path);
        return u == upper || (u.size() > prefix.size() && u.compare(0, prefix.size(), prefix) == 0);
    });
    if (keys_.size() == before) return false;
    reindex();
    return true;
}

std::vector<const RegKey*> RegistryDocument::subtree(TextView path) const {
    const Text upper = toUpper(path);
    const Text prefix = upper + u"\\";
    std::vector<const RegKey*> out;
    for (const RegKey& k : keys_) {
        Text u = toUpper(k.path);
        if (u == upper || (u.size() > prefix.size() && u.compare(0, prefix.size(), prefix) == 0))
            out.push_back(&k);
    }
    return out;
}

void RegistryDocument::reindex() {
    index_.clear();
    for (size_t i = 0; i < keys_.size(); ++i)
        index_.emplace(toUpper(keys_[i].path), i);
}

namespace {

// True when `bytes` are well-formed UTF-8: exactly then they survive the
// trip to UTF-16 and back (a malformed sequence comes back as U+FFFD).
bool isUtf8(std::string_view bytes) {
    return toUtf8(fromUtf8(bytes)) == bytes;
}

// True when the first line that is neither blank nor a comment is the
// REGEDIT4 header (looked at as bytes: the header is ASCII).
bool startsAsRegedit4(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t eol = bytes.find('\n', pos);
        if (eol == std::string_view::npos) eol = bytes.size();
        std::string_view line = bytes.substr(pos, eol - pos);
        pos = eol + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        return line == "REGEDIT4";
    }
    return false;
}

// Decodes the file's bytes to text. A byte-order mark decides: UTF-16LE
// (what Windows exports) or UTF-8. Without one, a REGEDIT4 file is code page
// 1252 throughout, as that format has always been; any other file is UTF-8
// when it is well-formed UTF-8, else code page 1252 (a version 5 file saved
// by an editor in the ANSI code page).
Text decodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        // Unpaired surrogates cannot be written back as UTF-8: replace them.
        Text t = regDataUtf16(bytes.substr(2));
        for (size_t i = 0; i < t.size(); ++i) {
            bool hi = t[i] >= 0xD800 && t[i] <= 0xDBFF;
            bool lo = t[i] >= 0xDC00 && t[i] <= 0xDFFF;
            if (hi && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF)
                ++i;
            else if (hi || lo)
                t[i] = 0xFFFD;
        }
        return t;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return fromUtf8(bytes.substr(3));
    if (startsAsRegedit4(bytes) || !isUtf8(bytes)) return cp1252::decode(bytes);
    return fromUtf8(bytes);
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t';
}

// True for a value line whose data is a hex list ("name"=hex...).
bool isHexLine(TextView line) {
    size_t i = 0;
    if (line.empty()) return false;
    if (line[0] == u'"') {
        for (i = 1; i < line.size() && line[i] != u'"'; ++i)
            if (line[i] == u'\\') ++i;
        ++i;
    } else if (line[0] == u'@') {
        i = 1;
    } else {
        return false;
    }
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i >= line.size() || line[i] != u'=') return false;
    ++i;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    return line.size() - i >= 3 && equalsIgnoreCase(line.substr(i, 3), u"hex");
}

TextView trimView(TextView t) {
    while (!t.empty() && isSpace(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && (isSpace(t.back()) || t.back() == u'\r'))
        t.remove_suffix(1);
    return t;
}

// Reads a quoted string starting at t[i] == '"'; returns false if unclosed.
bool readQuoted(TextView t, size_t& i, Text& out) {
    ++i;
    while (i < t.size()) {
        char16_t c = t[i++];
        if (c == u'"') return true;
        if (c == u'\\' && i < t.size()) c = t[i++];
        out.push_back(c);
    }
    return false;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool parseHexBytes(TextView t, std::string& out) {
    size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && isSpace(t[i]))
            ++i;
        if (i >= t.size()) break;
        int hi = hexDigit(t[i]);
        int lo = i + 1 < t.size() ? hexDigit(t[i + 1]) : -1;
        if (hi < 0) return false;
        if (lo < 0) {
            out.push_back(static_cast<char>(hi));
            ++i;
        } else {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        }
        while (i < t.size() && isSpace(t[i]))
            ++i;
        if (i < t.size()) {
            if (t[i] != u',') return false;
            ++i;
        }
    }
    return true;
}

// Reads the data after '=' into `v`; an error message on failure.
const char* parseData(TextView d, bool regedit4, RegValue& v, bool& isDelete) {
    isDelete = false;
    if (d == u"-") {
        isDelete = true;
        return nullptr;
    }
    if (!d.empty() && d[0] == u'"') {
        Text s;
        size_t i = 0;
        if (!readQuoted(d, i, s)) return "unterminated text";
        if (!trimView(d.substr(i)).empty()) return "unexpected characters after the text";
        v.type = kRegSz;
        v.data = regStringData(s);
        return nullptr;
    }
    if (d.size() >= 6 && equalsIgnoreCase(d.substr(0, 6), u"dword:")) {
        TextView h = trimView(d.substr(6));
        if (h.empty() || h.size() > 8) return "a dword needs 1 to 8 hexadecimal digits";
        uint32_t val = 0;
        for (char16_t c : h) {
            int x = hexDigit(c);
            if (x < 0) return "a dword needs 1 to 8 hexadecimal digits";
            val = val * 16 + static_cast<uint32_t>(x);
        }
        v.type = kRegDword;
        v.data = regDwordData(val);
        return nullptr;
    }
    if (d.size() >= 4 && equalsIgnoreCase(d.substr(0, 3), u"hex")) {
        size_t i = 3;
        uint32_t type = kRegBinary;
        if (d[i] == u'(') {
            size_t close = d.find(u')', i);
            if (close == TextView::npos || close == i + 1) return "bad hex(type)";
            type = 0;
            for (size_t k = i + 1; k < close; ++k) {
                int x = hexDigit(d[k]);
                if (x < 0 || type > 0x0FFFFFFFu) return "bad hex(type)";
                type = type * 16 + static_cast<uint32_t>(x);
            }
            i = close + 1;
        }
        if (i >= d.size() || d[i] != u':') return "expected ':' after hex";
        std::string bytes;
        if (!parseHexBytes(d.substr(i + 1), bytes)) return "bad hexadecimal byte list";
        if (regedit4 && (type == kRegExpandSz || type == kRegMultiSz)) {
            // REGEDIT4 keeps these texts as 8-bit characters.
            bytes = regStringData(cp1252::decode(bytes)).substr(0, bytes.size() * 2);
        }
        v.type = type;
        v.data = std::move(bytes);
        return nullptr;
    }
    return "unknown value form";
}

}  // namespace

RegParse parseRegText(std::string_view bytes) {
    RegParse out;
    const Text text = decodeFile(bytes);
    bool headerSeen = false, regedit4 = false;
    bool sectionValid = false;
    bool sectionDeleted = false;  // under a [-key] line
    Text currentKey;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t eol = text.find(u'\n', pos);
        if (eol == Text::npos) eol = text.size();
        Text line(trimView(TextView(text).substr(pos, eol - pos)));
        ++lineNo;
        const size_t startLine = lineNo;
        pos = eol + 1;
        // Continuation lines: a trailing backslash of a hex value joins the
        // next line (a quoted text may itself end in a backslash).
        while (!line.empty() && line.back() == u'\\' && pos <= text.size() && isHexLine(line)) {
            line.pop_back();
            size_t e2 = text.find(u'\n', pos);
            if (e2 == Text::npos) e2 = text.size();
            line += trimView(TextView(text).substr(pos, e2 - pos));
            pos = e2 + 1;
            ++lineNo;
        }
        if (line.empty() || line[0] == u';') continue;
        if (!headerSeen) {
            headerSeen = true;
            if (line == u"Windows Registry Editor Version 5.00") continue;
            if (line == u"REGEDIT4") {
                regedit4 = true;
                continue;
            }
            out.errors.push_back({startLine, "missing header line"});
        }
        if (line[0] == u'[') {
            size_t close = line.rfind(u']');
            sectionValid = sectionDeleted = false;
            if (close == Text::npos) {
                out.errors.push_back({startLine, "key line without closing ']'"});
                continue;
            }
            TextView inner = TextView(line).substr(1, close - 1);
            bool del = !inner.empty() && inner[0] == u'-';
            if (del) inner.remove_prefix(1);
            Text path = normaliseKeyPath(inner);
            if (path.empty() || inner.find(u"\\\\") != TextView::npos) {
                out.errors.push_back({startLine, "unknown registry root or bad key path"});
                continue;
            }
            if (del) {
                out.ops.push_back({RegOp::DeleteKey, path, {}});
                sectionDeleted = true;
            } else {
                out.ops.push_back({RegOp::EnsureKey, path, {}});
                currentKey = path;
                sectionValid = true;
            }
            continue;
        }
        RegValue v;
        size_t i = 0;
        if (line[0] == u'@') {
            i = 1;
        } else if (line[0] == u'"') {
            if (!readQuoted(line, i, v.name)) {
                out.errors.push_back({startLine, "unterminated value name"});
                continue;
            }
        } else {
            out.errors.push_back({startLine, "expected a key, a value or a comment"});
            continue;
        }
        while (i < line.size() && isSpace(line[i]))
            ++i;
        if (i >= line.size() || line[i] != u'=') {
            out.errors.push_back({startLine, "expected '=' after the value name"});
            continue;
        }
        bool isDelete = false;
        const char* problem =
            parseData(trimView(TextView(line).substr(i + 1)), regedit4, v, isDelete);
        if (problem) {
            out.errors.push_back({startLine, problem});
            continue;
        }
        if (sectionDeleted) {
            // The registry editor deletes the key and passes over these.
            out.warnings.push_back({startLine, "value under a deleted key, skipped"});
            continue;
        }
        if (!sectionValid) {
            out.errors.push_back({startLine, "value outside a valid key section"});
            continue;
        }
        out.ops.push_back(
            {isDelete ? RegOp::DeleteValue : RegOp::SetValue, currentKey, std::move(v)});
    }
    return out;
}

void applyOps(RegistryDocument& doc, const std::vector<RegOp>& ops) {
    for (const RegOp& op : ops) {
        switch (op.kind) {
            case RegOp::EnsureKey:
                doc.ensure(op.path);
                break;
            case RegOp::DeleteKey:
                doc.deleteKey(op.path);
                break;
            case RegOp::SetValue:
                doc.setValue(op.path, op.value);
                break;
            case RegOp::DeleteValue:
                doc.deleteValue(op.path, op.value.name);
                break;
        }
    }
}

RegistryDocument documentFromText(std::string_view bytes, std::vector<RegParseError>* errors) {
    RegParse p = parseRegText(bytes);
    RegistryDocument doc;
    applyOps(doc, p.ops);
    if (errors) {
        // In the store itself a skipped line is one the store would lose on
        // its next write: such lines count with the unreadable ones.
        *errors = std::move(p.errors);
        errors->insert(errors->end(), p.warnings.begin(), p.warnings.end());
        std::stable_sort(
            errors->begin(), errors->end(),
            [](const RegParseError& a, const RegParseError& b) { return a.line < b.line; });
    }
    return doc;
}

std::vector<RegLineError> regTextWarnings(std::string_view text) {
    return parseRegText(text).warnings;
}

namespace {

std::string quote(TextView t) {
    std::string out = "\"";
    for (char c : toUtf8(t)) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A REG_SZ datum that the quoted form carries exactly: even length, one
// terminating NUL at the end, no NUL, CR or LF before it.
bool plainText(const std::string& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    Text t = regDataUtf16(data);
    if (t.back() != u'\0') return false;
    t.pop_back();
    for (char16_t c : t)
        if (c == u'\0' || c == u'\r' || c == u'\n' || (c >= 0xD800 && c <= 0xDFFF)) return false;
    return true;
}

void writeHex(std::string& out, size_t prefixLen, const std::string& data) {
    // Lines wrapped as Windows exports them: at most about 80 columns,
    // continued with ",\" and a two-space indent.
    size_t col = prefixLen;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
        out += buf;
        col += 2;
        if (i + 1 < data.size()) {
            out.push_back(',');
            ++col;
            if (col > 76) {
                out += "\\\r\n  ";
                col = 2;
            }
        }
    }
}

void writeValue(std::string& out, const RegValue& v) {
    std::string line = v.name.empty() ? "@" : quote(v.name);
    line += "=";
    if (v.type == kRegSz && plainText(v.data)) {
        out += line + quote(regDataText(v.data)) + "\r\n";
        return;
    }
    if (v.type == kRegDword && v.data.size() == 4) {
        uint32_t x = 0;
        for (int i = 3; i >= 0; --i)
            x = (x << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", x);
        out += line + buf + "\r\n";
        return;
    }
    if (v.type == kRegBinary) {
        line += "hex:";
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    out += line;
    writeHex(out, line.size(), v.data);
    out += "\r\n";
}

}  // namespace

std::string writeRegText(const std::vector<const RegKey*>& keys) {
    // Keys in tree order, names compared without regard to case, as Windows
    // exports them: the text then depends only on what the store holds, so
    // an export imported back gives the same file.
    std::vector<std::pair<Text, const RegKey*>> sorted;
    sorted.reserve(keys.size());
    for (const RegKey* k : keys) {
        Text upper = toUpper(k->path);
        for (char16_t& c : upper)
            if (c == u'\\') c = u'\0';  // a parent sorts before its children
        sorted.emplace_back(std::move(upper), k);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out = "Windows Registry Editor Version 5.00\r\n";
    for (const auto& [upper, k] : sorted) {
        out += "\r\n[" + toUtf8(k->path) + "]\r\n";
        for (const RegValue& v : k->values)
            writeValue(out, v);
    }
    return out;
}

std::string writeRegText(const RegistryDocument& doc) {
    std::vector<const RegKey*> all;
    for (const RegKey& k : doc.keys())
        all.push_back(&k);
    return writeRegText(all);
}

}  // namespace orv::formats
