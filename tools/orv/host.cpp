#include "host.hpp"

#include <algorithm>

#include "orvcommon/orv_tool_internal.hpp"

namespace orv::tool {

std::pair<std::string, std::string> splitTarget(const std::string& target) {
    const size_t dot = target.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == target.size())
        throw UsageError("expected NAME.MEMBER, got '" + target + "'");
    return {target.substr(0, dot), target.substr(dot + 1)};
}

ObjectRef createByName(const std::string& name) {
    const Text n = fromUtf8(name);
    if (n.find(u'.') != Text::npos) return server::createObject(n);
    return server::createObject(Text(server::kLibraryName) + u"." + n);
}

nlohmann::ordered_json callOutput(const Variant& result, const std::vector<const Variant*>& args) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const Variant* a : args)
        out.push_back(toJson(*a));
    return nlohmann::ordered_json{{"result", toJson(result)}, {"args", std::move(out)}};
}

const char* const kArgumentHelp =
    "Arguments (ARG):\n"
    "  text               a String (\"C:\\dir\" and \"http://x\" stay text)\n"
    "  TYPE:VALUE         TYPE is str, int (16-bit), long, single, double, cur,\n"
    "                     dec, bool (true/false), byte, or date (YYYY-MM-DD or\n"
    "                     YYYY-MM-DDTHH:MM:SS)\n"
    "  str:TEXT           a String even when TEXT looks like one of these forms\n"
    "  :empty :null :missing\n"
    "                     Empty, Null, or an omitted optional argument\n"
    "  json:VALUE         a typed JSON value (arrays and the rest), e.g.\n"
    "                     json:{\"type\":\"Array\",\"lbound\":[1],\"items\":[\"a\",\"b\"]}\n"
    "  json:[...]         a record (structError) is an array of its fields in\n"
    "                     record order: json:[53,\"text\",1,\"loc\",null,null,null]\n"
    "Arguments are coerced to the declared parameter types as automation does\n"
    "(\"7\" passed to a Long is 7; text that is no number is error 13). For an\n"
    "out-parameter pass :empty: it receives the value in the parameter's type.\n";

const char* const kOutputHelp =
    "Output: one JSON line per call, {\"result\":V,\"args\":[V,...]}, where args\n"
    "holds every argument after the call (by-reference arguments written back).\n"
    "A typed value V is {\"type\":\"String\",\"value\":\"abc\"}; Integer, Long,\n"
    "Single, Double, Byte with numbers, Boolean with true/false; Currency and\n"
    "Decimal as decimal strings; Date as ISO text; {\"type\":\"Empty\"}, \"Null\",\n"
    "\"Missing\"; {\"type\":\"ByteString\",\"hex\":\"00ff41\"};\n"
    "{\"type\":\"Array\",\"lbound\":[1,1],\"items\":[[...],...]} with items[i][j]\n"
    "the element (lbound0+i, lbound1+j); {\"type\":\"ErrInfo\",\"value\":{...}}.\n"
    "As input, plain JSON works too: a string is a String, an integer a Long,\n"
    "a fraction a Double, true/false a Boolean, null a Null, [..] an Array.\n"
    "A call that raises a run-time error prints\n"
    "{\"error\":{\"number\":N,\"description\":\"...\"}} and orv exits 1 (a type\n"
    "mismatch adds \"argument\": the argument that does not convert, and why); a\n"
    "usage error exits 2; otherwise 0, whatever a result object says.\n";

}  // namespace orv::tool

namespace orv::tool {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string joined(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names)
        s += (s.empty() ? "" : ", ") + n;
    return s;
}

std::string quoted(const Text& t) {
    std::string out = "\"";
    for (char c : toUtf8(t)) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

// A table cell: the text without quotes, other values as textValue shows them.
std::string cell(const Variant& v) {
    if (v.isString()) return toUtf8(*v.text());
    if (v.isEmpty()) return "";
    return textValue(v, "");
}

std::string table(const VariantArray& a, const std::string& indent) {
    // Tables of this library are (column, row): the first index walks along
    // a line, the second down the lines. Shown as lines of columns.
    // 64-bit counters: an upper bound of 2147483647 must end the loops.
    const int64_t c0 = a.lbound(1), c1 = a.ubound(1), r0 = a.lbound(2), r1 = a.ubound(2);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> head{""};
    for (int64_t c = c0; c <= c1; ++c)
        head.push_back(std::to_string(c));
    rows.push_back(head);
    for (int64_t r = r0; r <= r1; ++r) {
        std::vector<std::string> line{std::to_string(r)};
        for (int64_t c = c0; c <= c1; ++c)
            line.push_back(cell(a.at(static_cast<int32_t>(c), static_cast<int32_t>(r))));
        rows.push_back(line);
    }
    std::vector<size_t> width(head.size(), 0);
    for (const auto& line : rows)
        for (size_t k = 0; k < line.size(); ++k)
            width[k] = std::max(width[k], line[k].size());
    std::string out = "table of " + std::to_string(a.ubound(1) - c0 + 1) + " columns (" +
                      std::to_string(c0) + " to " + std::to_string(c1) + ") and " +
                      std::to_string(r1 - r0 + 1) + " rows (" + std::to_string(r0) + " to " +
                      std::to_string(r1) + ")";
    for (const auto& line : rows) {
        out += "\n" + indent;
        for (size_t k = 0; k < line.size(); ++k) {
            out += line[k] + std::string(width[k] - line[k].size(), ' ');
            out += k == 0 ? " | " : k + 1 < line.size() ? " | " : "";
        }
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
    }
    return out;
}

// 16369 -> "16,369"
std::string grouped(size_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k && (digits.size() - k) % 3 == 0) out += ',';
        out += digits[k];
    }
    return out;
}

// A byte string shortened for reading: its length and how it starts, the
// leading printable bytes as text ("bytes, 16,369: %PDF-1.5 ..."), else the
// first bytes in hexadecimal. JSON output carries every byte.
std::string bytesText(const std::string& bytes) {
    constexpr size_t kShown = 32;
    std::string out = "bytes, " + grouped(bytes.size());
    if (bytes.empty()) return out;
    size_t printable = 0;
    while (printable < bytes.size() && printable < kShown &&
           static_cast<unsigned char>(bytes[printable]) >= 0x20 &&
           static_cast<unsigned char>(bytes[printable]) < 0x7f)
        ++printable;
    std::string head;
    size_t shown = printable;
    if (printable > 0) {
        head = bytes.substr(0, printable);
    } else {
        static const char kHex[] = "0123456789abcdef";
        shown = std::min<size_t>(bytes.size(), kShown / 2);
        head = "hex ";
        for (size_t k = 0; k < shown; ++k) {
            const auto b = static_cast<unsigned char>(bytes[k]);
            head += kHex[b >> 4];
            head += kHex[b & 15];
        }
    }
    return out + ": " + head + (shown < bytes.size() ? " ..." : "");
}

}  // namespace

Format defaultFormat() {
    return platform::standardOutputIsTerminal() ? Format::Text : Format::Json;
}

bool takeFormatOption(const std::vector<std::string>& args, size_t& k, Format& format) {
    std::string value;
    if (args[k] == "--format") {
        if (k + 1 == args.size()) throw UsageError("--format needs text or json");
        value = args[++k];
    } else if (args[k].rfind("--format=", 0) == 0) {
        value = args[k].substr(9);
    } else {
        return false;
    }
    if (value == "text")
        format = Format::Text;
    else if (value == "json")
        format = Format::Json;
    else
        throw UsageError("unknown format '" + value + "' (known: text, json)");
    return true;
}

std::string textValue(const Variant& v, const std::string& indent) {
    const std::string more = indent + "  ";
    switch (v.type()) {
        case VarType::Empty:
            return "Empty";
        case VarType::Null:
            return "Null";
        case VarType::Error:
            return "Missing";
        case VarType::String:
            if (v.is<ByteString>()) return bytesText(v.get<ByteString>().bytes);
            return quoted(*v.text());
        case VarType::Boolean:
            return v.get<bool>() ? "True" : "False";
        case VarType::Array: {
            const VariantArray& a = *v.array();
            if (a.dims() == 2) return table(a, more);
            if (a.dims() != 1) return "array without dimensions";
            std::string out = "array (" + std::to_string(a.lbound(1)) + " to " +
                              std::to_string(a.ubound(1)) + "):";
            // A 64-bit counter: an upper bound of 2147483647 must end the loop.
            for (int64_t i = a.lbound(1); i <= a.ubound(1); ++i)
                out += "\n" + more + std::to_string(i) + ": " +
                       textValue(a.at(static_cast<int32_t>(i)), more + "  ");
            return out;
        }
        case VarType::Object: {
            const nlohmann::ordered_json j = toJson(v);
            if (j["type"] != "ErrInfo") return j["type"].get<std::string>() + " object";
            // The three main fields always, the others when they hold text.
            const auto& f = j["value"];
            static const char* const kTypes[] = {"", " (error)", " (warning)", " (information)",
                                                 " (debug)"};
            const int32_t type = f["typeInfo"].get<int32_t>();
            std::string out =
                std::string("ErrInfo, ") + (f["numberInfo"] == 0 ? "success" : "failure");
            for (const auto& [key, value] : f.items()) {
                const bool main =
                    key == "numberInfo" || key == "descriptionInfo" || key == "typeInfo";
                if (!main && value == "") continue;
                out +=
                    "\n" + more + key + std::string(16 - std::min<size_t>(15, key.size()), ' ') +
                    (value.is_string() ? quoted(fromUtf8(value.get<std::string>())) : value.dump());
                if (key == "typeInfo" && type >= 1 && type <= 4) out += kTypes[type];
            }
            return out;
        }
        default: {
            // Numbers and dates: the JSON value and the type.
            const nlohmann::ordered_json j = toJson(v);
            const auto& value = j["value"];
            return (value.is_string() ? value.get<std::string>() : value.dump()) + " (" +
                   j["type"].get<std::string>() + ")";
        }
    }
}

void printText(std::ostream& out, const Variant* result,
               const std::vector<std::pair<std::string, const Variant*>>& shown) {
    if (result) out << "  result: " << textValue(*result, "  ") << "\n";
    for (const auto& [name, value] : shown)
        out << "  " << name << " = " << textValue(*value, "  ") << "\n";
}

void printTextError(std::ostream& out, const RuntimeError& e) {
    out << "  error " << e.number() << ": " << toUtf8(e.description()) << "\n";
}

std::string signature(const server::Member& m) {
    std::string s = toUtf8(m.name) + "(";
    for (size_t i = 0; i < m.params.size(); ++i) {
        const server::Param& p = m.params[i];
        if (i) s += ", ";
        if (p.optional) s += "Optional ";
        s += p.passing == server::Passing::ByReference ? "ByRef " : "ByVal ";
        s += toUtf8(p.name) + " As " + toUtf8(server::typeName(p.type));
    }
    s += ")";
    if (m.result.code != server::TypeCode::Void) s += " As " + toUtf8(server::typeName(m.result));
    return s;
}

std::vector<std::string> nearestNames(const std::string& asked,
                                      const std::vector<std::string>& names) {
    const std::string a = lower(asked);
    std::vector<std::pair<size_t, std::string>> scored;
    for (const auto& n : names) {
        const std::string b = lower(n);
        size_t d = editDistance(a, b);
        // A name that contains the one asked for (or the other way round)
        // is close whatever its length.
        if (!a.empty() && (b.find(a) != std::string::npos || a.find(b) != std::string::npos))
            d = std::min<size_t>(d, 1);
        if (d <= std::max<size_t>(2, a.size() / 3)) scored.emplace_back(d, n);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> out;
    for (const auto& [d, n] : scored) {
        if (std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
        if (out.size() == 4) break;
    }
    return out;
}

// The parameter types that take a number (and so an enumeration's member name).
static bool isNumeric(server::TypeCode code) {
    switch (code) {
        case server::TypeCode::Integer:
        case server::TypeCode::Long:
        case server::TypeCode::Single:
        case server::TypeCode::Double:
        case server::TypeCode::Currency:
        case server::TypeCode::Byte:
        case server::TypeCode::Decimal:
            return true;
        default:
            return false;
    }
}

std::string argumentMismatch(const server::Member& member,
                             const std::vector<const Variant*>& args) {
    for (size_t i = 0; i < args.size() && i < member.params.size(); ++i) {
        const server::Param& p = member.params[i];
        if (args[i]->isMissing()) continue;
        try {
            (void)server::coerce(*args[i], p.type);
            continue;
        } catch (const RuntimeError& e) {
            if (e.number() != err::kTypeMismatch) continue;
        }
        std::string why;
        if (isNumeric(p.type.code)) {
            why = "is not a number";
            for (const auto& e : server::enumerations())
                if (equalsIgnoreCase(e.name, p.type.name))
                    why += " nor a member of " + toUtf8(e.name) + " (orv list " + toUtf8(e.name) +
                           " shows them)";
        } else
            switch (p.type.code) {
                case server::TypeCode::Date:
                    why = "is not a date";
                    break;
                case server::TypeCode::Boolean:
                    why = "is not True or False";
                    break;
                case server::TypeCode::Object:
                    why = std::string("is not an object of class ") + toUtf8(p.type.name);
                    break;
                case server::TypeCode::StringArray:
                case server::TypeCode::VariantArray:
                    why = std::string("is not an array of ") +
                          (p.type.code == server::TypeCode::StringArray ? "String" : "Variant");
                    break;
                case server::TypeCode::Record:
                    why = std::string("is not a ") + toUtf8(server::typeName(p.type)) +
                          " record (an array of its fields)";
                    break;
                default:
                    why = std::string("does not convert to ") + toUtf8(server::typeName(p.type));
            }
        std::string value = textValue(*args[i], "");
        if (const size_t nl = value.find('\n'); nl != std::string::npos)
            value = value.substr(0, nl);
        return "argument " + std::to_string(i + 1) + " (" + toUtf8(p.name) + " As " +
               toUtf8(server::typeName(p.type)) + "): " + value + " " + why;
    }
    return "";
}

void takeEnumerationNames(const server::Member& member, const std::vector<Variant*>& args) {
    for (size_t i = 0; i < args.size() && i < member.params.size(); ++i) {
        if (!args[i]) continue;
        Variant& a = *args[i];
        if (!isNumeric(member.params[i].type.code)) continue;
        if (!a.isString() || a.is<ByteString>()) continue;
        const Text name = *a.text();
        for (const auto& e : server::enumerations())
            for (const auto& m : e.members)
                if (equalsIgnoreCase(m.name, name)) a = Variant(m.value);
    }
}

bool reportFailure(std::ostream& out, std::ostream& err, Format format, const std::string& tool,
                   const RuntimeError& e, const std::string& building, const std::string& className,
                   const server::ClassInfo* cls, const std::string& memberName,
                   const std::vector<const Variant*>& args) {
    // A type mismatch names the argument that does not convert, and why.
    std::string mismatch;
    if (e.number() == err::kTypeMismatch && building.empty() && cls)
        for (const server::Member& m : cls->members)
            if (mismatch.empty() && equalsIgnoreCase(m.name, fromUtf8(memberName)))
                mismatch = argumentMismatch(m, args);
    if (format == Format::Json) {
        nlohmann::ordered_json j = errorJson(e);
        if (!mismatch.empty()) j["error"]["argument"] = mismatch;
        out << dumpLine(j) << std::endl;
    } else {
        printTextError(out, e);
    }
    out.flush();
    if (!building.empty()) {
        err << tool << ": " << building << ": " << toUtf8(e.description()) << "\n";
        return true;
    }
    if (!mismatch.empty()) {
        err << tool << ": " << mismatch << "\n";
        return true;
    }
    return explainFailure(err, tool, e, className, cls, memberName);
}

bool explainFailure(std::ostream& err, const std::string& tool, const RuntimeError& e,
                    const std::string& className, const server::ClassInfo* cls,
                    const std::string& memberName) {
    const auto nearest = [](const std::vector<std::string>& n) {
        return n.empty() ? std::string(" (orv list shows them all)") : "; nearest: " + joined(n);
    };
    if (e.number() == 429) {
        std::string bare = className;
        if (const size_t dot = bare.find('.'); dot != std::string::npos)
            bare = bare.substr(dot + 1);
        const server::ClassInfo* found = server::findClass(fromUtf8(bare));
        if (found && !found->creatable) {
            err << tool << ": class " << toUtf8(found->name) << " cannot be created\n";
            return true;
        }
        std::vector<std::string> names;
        for (const server::ClassInfo* c : server::classes())
            if (c->creatable) names.push_back(toUtf8(c->name));
        err << tool << ": no class named '" << className << "'"
            << nearest(nearestNames(bare, names)) << "\n";
        return true;
    }
    if (!cls) return false;
    std::vector<std::string> names;
    const server::Member* member = nullptr;
    for (const server::Member& m : cls->members) {
        if (m.kind != server::MemberKind::PropertyPut) names.push_back(toUtf8(m.name));
        if (equalsIgnoreCase(m.name, fromUtf8(memberName)) &&
            m.kind != server::MemberKind::PropertyPut)
            member = &m;
    }
    if (e.number() == 438 && !member) {
        err << tool << ": " << toUtf8(cls->name) << " has no member '" << memberName << "'"
            << nearest(nearestNames(memberName, names)) << "\n";
        return true;
    }
    if ((e.number() == 449 || e.number() == 450) && member) {
        err << tool << ": "
            << (e.number() == 449 ? "a required argument is missing" : "too many arguments")
            << "; the parameters are " << toUtf8(cls->name) << "." << signature(*member) << "\n";
        return true;
    }
    return false;
}

}  // namespace orv::tool
