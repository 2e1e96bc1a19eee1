// orv run: a script of JSON lines, for sequences of calls on the same
// objects with variables passed by reference.
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "command.hpp"
#include "host.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::tool {
namespace {

using json = nlohmann::ordered_json;

void help(std::ostream& out) {
    out << "usage: orv run FILE|-\n\n"
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
        << kOutputHelp
        << "\nExample:\n"
           "  {\"new\":\"ErrInfo\",\"as\":\"e\"}\n"
           "  {\"call\":\"e.ErrInfo\",\"args\":[53,\"File not found\",1,\"readFile\"]}\n"
           "  {\"call\":\"e.clone\",\"args\":[{\"var\":\"copy\"}]}\n"
           "  {\"call\":\"copy.getAttrEqualValue\"}\n";
}

struct Script {
    std::map<std::string, Variant> vars;

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
            return guarded([&] { vars[as] = Variant(createByName(cls)); });
        }
        if (line.contains("set")) {
            const auto parts = splitTarget(text(line, "set"));
            const std::string& obj = parts.first;
            const Text field = fromUtf8(parts.second);
            if (!line.contains("value")) throw UsageError("\"set\" needs \"value\"");
            Variant value =
                isVar(line["value"]) ? var(varName(line["value"])) : fromJson(line["value"]);
            ObjectRef o = target(obj);
            return guarded(
                [&] { server::invoke(o, field, server::MemberKind::PropertyPut, {&value}); });
        }
        if (line.contains("call")) {
            const auto parts = splitTarget(text(line, "call"));
            const std::string& obj = parts.first;
            const Text memberName = fromUtf8(parts.second);
            std::vector<Variant> literals;
            std::vector<std::string> refs;  // variable name, or "" for a literal
            if (line.contains("args")) {
                const json& args = line["args"];
                if (!args.is_array()) throw UsageError("\"args\" must be a JSON array");
                for (const json& a : args) {
                    if (isVar(a)) {
                        refs.push_back(varName(a));
                        var(refs.back());  // created Empty when new
                        literals.emplace_back();
                    } else {
                        refs.emplace_back();
                        literals.push_back(fromJson(a));
                    }
                }
            }
            std::string as;
            if (line.contains("as")) as = text(line, "as");
            ObjectRef o = target(obj);
            std::vector<Variant*> ptrs;
            for (size_t i = 0; i < refs.size(); ++i)
                ptrs.push_back(refs[i].empty() ? &literals[i] : &vars[refs[i]]);
            return guarded([&] {
                Variant result = server::invoke(o, memberName, server::MemberKind::Method, ptrs);
                std::vector<const Variant*> shown(ptrs.begin(), ptrs.end());
                std::cout << dumpLine(callOutput(result, shown)) << std::endl;
                if (!as.empty()) vars[as] = std::move(result);
            });
        }
        throw UsageError("a line needs \"new\", \"set\" or \"call\"");
    }

    template <class F>
    static bool guarded(F&& f) {
        try {
            f();
            return true;
        } catch (const RuntimeError& e) {
            std::cout << dumpLine(errorJson(e)) << std::endl;
        } catch (const std::bad_alloc&) {
            std::cout << dumpLine(errorJson(RuntimeError(err::kOutOfMemory))) << std::endl;
        }
        return false;
    }
};

int run(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        help(std::cout);
        return 0;
    }
    if (args.size() != 1) {
        std::cerr << "orv run: expected one FILE or -\n(orv run --help describes scripts)\n";
        return 2;
    }
    std::ifstream file;
    if (args[0] != "-") {
        file.open(args[0], std::ios::binary);
        if (!file) {
            std::cerr << "orv run: cannot open " << args[0] << "\n";
            return 2;
        }
    }
    std::istream& in = args[0] == "-" ? std::cin : file;
    Script script;
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        try {
            json j;
            try {
                j = json::parse(line);
            } catch (const json::exception& e) {
                throw UsageError(std::string("bad JSON: ") + e.what());
            }
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
