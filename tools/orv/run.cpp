// orv run: a script of JSON lines, for sequences of calls on the same
// objects with variables passed by reference.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "command.hpp"
#include "host.hpp"
#include "orvcommon/orv_tool_internal.hpp"

namespace orv::tool {
namespace {

using json = nlohmann::ordered_json;

void help(std::ostream& out) {
    out << "usage: orv run [--format text|json] [--narrate] FILE|-\n\n"
           "Runs a script of JSON lines (FILE, or standard input for -). Blank lines\n"
           "and lines starting with # are skipped. Each line is one of:\n"
           "  {\"new\":\"FileUtility\",\"as\":\"f\"}          create an object, name it f\n"
           "  {\"set\":\"f.utcoffset\",\"value\":V}         assign a public field\n"
           "  {\"call\":\"f.readFile\",\"args\":[V,...]}     call a member; prints a line\n"
           "  {\"call\":\"e.clone\",\"args\":[...],\"as\":\"r\"} and keep its result as r\n"
           "An argument {\"var\":\"name\"} passes the script variable by reference: it\n"
           "holds the written-back value afterwards and later calls can pass it\n"
           "again (a variable never assigned starts Empty). Variables may hold\n"
           "objects, so {\"call\":\"r.isSuccess\"} works on a kept result.\n"
           "The script stops at the first run-time error.\n\n"
           "--format text shows each call and its results readably (the default on a\n"
           "terminal); --format json prints the JSON lines below (the default when\n"
           "the output goes to a file or a pipe). With --narrate, text output also\n"
           "shows the script's own words: a line \"# --- Title\" starts a step and\n"
           "prints its title as a heading, and the \"# \" lines after it print as\n"
           "plain text; comment lines before the first step are not shown.\n\n"
        << kOutputHelp
        << "\nExample:\n"
           "  {\"new\":\"ErrInfo\",\"as\":\"e\"}\n"
           "  {\"call\":\"e.ErrInfo\",\"args\":[53,\"File not found\",1,\"readFile\"]}\n"
           "  {\"call\":\"e.clone\",\"args\":[{\"var\":\"copy\"}]}\n"
           "  {\"call\":\"copy.getAttrEqualValue\"}\n";
}

struct Script {
    std::map<std::string, Variant> vars;
    Format format = Format::Json;

    Variant& var(const std::string& name) { return vars[name]; }

    ObjectRef target(const std::string& name) {
        auto it = vars.find(name);
        if (it == vars.end()) throw UsageError("unknown variable '" + name + "'");
        if (!it->second.isObject()) throw UsageError("variable '" + name + "' holds no object");
        return it->second.get<ObjectRef>();
    }

    static std::string text(const json& line, const char* key) {
        auto it = line.find(key);
        if (it == line.end() || !it->is_string() || it->get<std::string>().empty())
            throw UsageError(std::string("\"") + key + "\" must be a non-empty string");
        return it->get<std::string>();
    }

    static bool isVar(const json& j) { return j.is_object() && j.size() == 1 && j.contains("var"); }
    std::string varName(const json& j) {
        if (!j["var"].is_string() || j["var"].get<std::string>().empty())
            throw UsageError("\"var\" must name a variable");
        return j["var"].get<std::string>();
    }

    // Runs one line; false when it raised a run-time error.
    bool step(const json& line) {
        if (!line.is_object()) throw UsageError("each line must be a JSON object");
        if (line.contains("new")) {
            const std::string as = text(line, "as");
            const std::string cls = text(line, "new");
            return guarded([&] { vars[as] = Variant(createByName(cls)); }, cls, nullptr, "");
        }
        if (line.contains("set")) {
            const auto parts = splitTarget(text(line, "set"));
            const std::string& obj = parts.first;
            const Text field = fromUtf8(parts.second);
            if (!line.contains("value")) throw UsageError("\"set\" needs \"value\"");
            ObjectRef o = target(obj);
            return guarded(
                [&] {
                    building = "the value";
                    Variant value = isVar(line["value"]) ? var(varName(line["value"]))
                                                         : fromJson(line["value"]);
                    building.clear();
                    keepOnFailure({&value}, [&] {
                        server::invoke(o, field, server::MemberKind::PropertyPut, {&value});
                    });
                },
                "", &server::classOf(o), parts.second);
        }
        if (line.contains("call")) {
            const auto parts = splitTarget(text(line, "call"));
            const std::string& obj = parts.first;
            const Text memberName = fromUtf8(parts.second);
            const json noArgs = json::array();
            const json& args = line.contains("args") ? line["args"] : noArgs;
            if (!args.is_array()) throw UsageError("\"args\" must be a JSON array");
            std::string as;
            if (line.contains("as")) as = text(line, "as");
            ObjectRef o = target(obj);
            return guarded(
                [&] {
                    // A value can raise a run-time error of its own while it
                    // is built (an array whose bounds do not fit in 32 bits):
                    // an error of this line like any other.
                    std::vector<Variant> literals;
                    std::vector<std::string> refs;  // variable name, or "" for a literal
                    for (size_t i = 0; i < args.size(); ++i) {
                        building = "argument " + std::to_string(i + 1);
                        if (isVar(args[i])) {
                            refs.push_back(varName(args[i]));
                            var(refs.back());  // created Empty when new
                            literals.emplace_back();
                        } else {
                            refs.emplace_back();
                            literals.push_back(fromJson(args[i]));
                        }
                    }
                    building.clear();
                    std::vector<Variant*> ptrs, given;
                    for (size_t i = 0; i < refs.size(); ++i) {
                        ptrs.push_back(refs[i].empty() ? &literals[i] : &vars[refs[i]]);
                        given.push_back(refs[i].empty() ? &literals[i] : nullptr);
                    }
                    if (format == Format::Text)
                        std::cout << callText(obj, parts.second, args, refs, ptrs) << "\n";
                    // Enumeration names given as values (never a variable's).
                    takeEnumerationNames(server::findMember(server::classOf(o), memberName,
                                                            server::MemberKind::Method),
                                         given);
                    Variant result;
                    keepOnFailure({ptrs.begin(), ptrs.end()}, [&] {
                        result = server::invoke(o, memberName, server::MemberKind::Method, ptrs);
                    });
                    if (format == Format::Json) {
                        std::vector<const Variant*> shown(ptrs.begin(), ptrs.end());
                        std::cout << dumpLine(callOutput(result, shown)) << std::endl;
                    } else {
                        // The variables passed, and the values given to
                        // by-reference parameters, as they are after the call.
                        const server::Member& m = server::findMember(server::classOf(o), memberName,
                                                                     server::MemberKind::Method);
                        std::vector<std::pair<std::string, const Variant*>> shown;
                        for (size_t i = 0; i < refs.size(); ++i) {
                            if (!refs[i].empty())
                                shown.emplace_back(refs[i], ptrs[i]);
                            else if (i < m.params.size() &&
                                     m.params[i].passing == server::Passing::ByReference)
                                shown.emplace_back(toUtf8(m.params[i].name), ptrs[i]);
                        }
                        printText(std::cout,
                                  m.result.code == server::TypeCode::Void ? nullptr : &result,
                                  shown);
                        if (!as.empty()) std::cout << "  (kept as " << as << ")\n";
                        std::cout.flush();
                    }
                    if (!as.empty()) vars[as] = std::move(result);
                },
                "", &server::classOf(o), parts.second);
        }
        throw UsageError("a line needs \"new\", \"set\" or \"call\"");
    }

    // A value as the call line shows it: a long text keeps its start and
    // says how long it is, so that the line stays readable.
    static std::string shortened(const json& value) {
        constexpr size_t kKept = 48;
        std::string d = value.dump(-1, ' ', false, json::error_handler_t::replace);
        if (!value.is_string() || d.size() <= kKept + 16) return d;
        size_t cut = kKept;
        while (cut > 1 && (static_cast<unsigned char>(d[cut]) & 0xC0) == 0x80)
            --cut;  // not inside a UTF-8 sequence
        size_t slashes = 0;
        while (slashes < cut && d[cut - 1 - slashes] == '\\')
            ++slashes;
        if (slashes % 2) --cut;  // not inside an escape
        return d.substr(0, cut) + "...\" (" +
               std::to_string(fromUtf8(value.get<std::string>()).size()) + " characters)";
    }

    // "f.readFile(\"prices.csv\", text)": the call with its variables by name
    // and its other arguments as values, on one line.
    static std::string callText(const std::string& obj, const std::string& member, const json& args,
                                const std::vector<std::string>& refs,
                                const std::vector<Variant*>& values) {
        std::string s = obj + "." + member + "(";
        for (size_t i = 0; i < refs.size(); ++i) {
            if (i > 0) s += ", ";
            if (!refs[i].empty()) {
                s += refs[i];
                continue;
            }
            if (args[i].is_primitive()) {
                s += shortened(args[i]);
                continue;
            }
            // Tables and records stay on the call's one line.
            std::string v = textValue(*values[i], "");
            if (v.find('\n') != std::string::npos) v = v.substr(0, v.find('\n'));
            if (!v.empty() && v.back() == ':') v.pop_back();
            s += v;
        }
        return s + ")";
    }

    // Runs a call; when it fails, keeps a copy of the arguments it was given
    // (the script's own values go out of scope) so the report can say which
    // one did not convert.
    template <class F>
    void keepOnFailure(const std::vector<const Variant*>& args, F&& call) {
        try {
            call();
        } catch (const RuntimeError&) {
            for (const Variant* a : args)
                failedArgs.push_back(*a);
            throw;
        }
    }

    // Runs one line's work; a run-time error (or any other failure, as
    // asRuntimeError numbers it) is printed with the script's line number
    // and ends the script.
    template <class F>
    bool guarded(F&& f, const std::string& className, const server::ClassInfo* cls,
                 const std::string& memberName) {
        building.clear();
        failedArgs.clear();
        try {
            f();
            return true;
        } catch (const UsageError&) {
            throw;
        } catch (const std::exception& thrown) {
            const RuntimeError e = asRuntimeError(thrown);
            const std::string where = "orv run: line " + std::to_string(line);
            std::vector<const Variant*> args;
            for (const Variant& a : failedArgs)
                args.push_back(&a);
            if (!reportFailure(std::cout, std::cerr, format, where, e, building, className, cls,
                               memberName, args))
                std::cerr << where << ": error " << e.number() << ": " << toUtf8(e.description())
                          << "\n";
        }
        return false;
    }

    std::string building;             // the value being built when an error came, if any
    std::vector<Variant> failedArgs;  // the arguments of the call that failed
    size_t line = 0;                  // the script line being run
};

int run(const std::vector<std::string>& args) {
    Script script;
    script.format = defaultFormat();
    bool narrate = false;
    std::vector<std::string> files;
    try {
        for (size_t k = 0; k < args.size(); ++k) {
            if (args[k] == "--help" || args[k] == "-h") {
                help(std::cout);
                return 0;
            }
            if (takeFormatOption(args, k, script.format)) continue;
            if (args[k] == "--narrate") {
                narrate = true;
            } else if (args[k].rfind("--", 0) == 0) {
                throw UsageError("unknown option " + args[k]);
            } else {
                files.push_back(args[k]);
            }
        }
        if (files.size() != 1) throw UsageError("expected one FILE or -");
    } catch (const UsageError& e) {
        std::cerr << "orv run: " << e.what() << "\n(orv run --help describes scripts)\n";
        return 2;
    }
    narrate = narrate && script.format == Format::Text;
    std::ifstream file;
    if (files[0] != "-") {
        file.open(files[0], std::ios::binary);
        if (!file) {
            // Like orv reg: a file that cannot be opened is a failure (1).
            std::cerr << "orv run: cannot open " << files[0] << ": " << std::strerror(errno)
                      << "\n";
            return 1;
        }
    }
    std::istream& in = files[0] == "-" ? std::cin : file;
    std::string line;
    size_t number = 0;
    bool inStep = false;  // narration starts at the first "# --- Title" line
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        if (line[first] == '#') {
            if (!narrate) continue;
            const std::string comment = line.substr(first);
            if (comment.rfind("# --- ", 0) == 0) {
                const std::string title = comment.substr(6);
                std::cout << (inStep ? "\n" : "") << title << "\n"
                          << std::string(title.size(), '=') << "\n";
                inStep = true;
            } else if (inStep && comment.rfind("# ", 0) == 0) {
                std::cout << comment.substr(2) << "\n";
            }
            continue;
        }
        try {
            json j;
            try {
                j = json::parse(line);
            } catch (const json::exception& e) {
                throw UsageError(std::string("bad JSON: ") + e.what());
            }
            script.line = number;
            if (!script.step(j)) return 1;
        } catch (const UsageError& e) {
            std::cerr << "orv run: line " << number << ": " << e.what() << "\n";
            return 2;
        }
    }
    return 0;
}

const CommandRegistrar kRegistered{{"run", "run a script of JSON lines: orv run FILE|-", run}};

}  // namespace
}  // namespace orv::tool
