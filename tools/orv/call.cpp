// orv call: one call of one operation from the shell.
#include <iostream>

#include "command.hpp"
#include "host.hpp"
#include "orvcommon/orv_tool_internal.hpp"

namespace orv::tool {
namespace {

void help(std::ostream& out) {
    out << "usage: orv call [--format text|json] [--set FIELD=ARG]... CLASS.MEMBER [ARG]...\n\n"
           "Creates an object of CLASS (orvcommon.CLASS), assigns the public fields\n"
           "given with --set (utcoffset, daylightoffset, outputMode), calls MEMBER\n"
           "with the arguments and prints the result and every argument after the\n"
           "call. Names of classes and members are case-insensitive.\n"
           "--format text shows the result and the by-reference arguments readably\n"
           "(the default on a terminal); --format json prints the JSON line below\n"
           "(the default when the output goes to a file or a pipe).\n\n"
        << kArgumentHelp << "\n"
        << kOutputHelp
        << "\nExamples:\n"
           "  orv call ErrInfo.isSuccess\n"
           "  orv call ErrInfo.ErrInfo long:53 \"File not found\" 1 readFile FileUtility\n"
           "  orv call ErrInfo.getInfo :empty :empty :empty :empty :empty\n"
           "  orv call ErrInfo.ErrInfoNew 'json:[\"abc\",\"d\",null,null,null,null,null]'\n"
           "  orv call --set utcoffset=int:60 FileUtility.UpdateFileTime /tmp/f 2026 1 1 1 0 0 0\n";
}

int run(const std::vector<std::string>& args) {
    std::vector<std::pair<std::string, std::string>> sets;
    Format format = defaultFormat();
    size_t k = 0;
    try {
        for (; k < args.size(); ++k) {
            const std::string& a = args[k];
            if (a == "--help" || a == "-h") {
                help(std::cout);
                return 0;
            }
            if (takeFormatOption(args, k, format)) continue;
            if (a == "--set" || a.rfind("--set=", 0) == 0) {
                std::string assignment;
                if (a == "--set") {
                    if (++k == args.size()) throw UsageError("--set needs FIELD=ARG");
                    assignment = args[k];
                } else {
                    assignment = a.substr(6);
                }
                const size_t eq = assignment.find('=');
                if (eq == std::string::npos || eq == 0)
                    throw UsageError("--set needs FIELD=ARG, got '" + assignment + "'");
                sets.emplace_back(assignment.substr(0, eq), assignment.substr(eq + 1));
                continue;
            }
            if (a.rfind("--", 0) == 0) throw UsageError("unknown option " + a);
            break;
        }
        if (k == args.size()) throw UsageError("missing CLASS.MEMBER");
        const auto [cls, memberName] = splitTarget(args[k]);

        ObjectRef object;
        std::string current = memberName;  // the member in flight, for explainFailure
        std::string building;              // the argument whose value is being built, if any
        std::vector<Variant> values, setValues;
        try {
            // A value can raise a run-time error of its own while it is built
            // (an array whose bounds do not fit in 32 bits): an error of the
            // call like any other.
            for (size_t i = k + 1; i < args.size(); ++i) {
                building = "argument " + std::to_string(i - k);
                values.push_back(parseArgument(args[i]));
            }
            for (const auto& s : sets) {
                building = "--set " + s.first;
                setValues.push_back(parseArgument(s.second));
            }
            building.clear();
            object = createByName(cls);
            for (size_t i = 0; i < sets.size(); ++i) {
                current = sets[i].first;
                server::invoke(object, fromUtf8(sets[i].first), server::MemberKind::PropertyPut,
                               {&setValues[i]});
            }
            current = memberName;
            std::vector<Variant*> ptrs;
            std::vector<const Variant*> shown;
            for (Variant& v : values) {
                ptrs.push_back(&v);
                shown.push_back(&v);
            }
            takeEnumerationNames(server::findMember(server::classOf(object), fromUtf8(memberName),
                                                    server::MemberKind::Method),
                                 ptrs);
            const Variant result =
                server::invoke(object, fromUtf8(memberName), server::MemberKind::Method, ptrs);
            if (format == Format::Json) {
                std::cout << dumpLine(callOutput(result, shown)) << std::endl;
                return 0;
            }
            // Text: the arguments the member takes by reference, by name.
            const server::Member& m = server::findMember(
                server::classOf(object), fromUtf8(memberName), server::MemberKind::Method);
            std::vector<std::pair<std::string, const Variant*>> named;
            for (size_t i = 0; i < values.size() && i < m.params.size(); ++i)
                if (m.params[i].passing == server::Passing::ByReference)
                    named.emplace_back(toUtf8(m.params[i].name), &values[i]);
            printText(std::cout, m.result.code == server::TypeCode::Void ? nullptr : &result,
                      named);
            std::cout.flush();
            return 0;
        } catch (const UsageError&) {
            throw;
        } catch (const std::exception& thrown) {
            std::vector<const Variant*> passed;
            if (current == memberName)
                for (const Variant& v : values)
                    passed.push_back(&v);
            else
                for (size_t i = 0; i < sets.size(); ++i)
                    if (sets[i].first == current) passed = {&setValues[i]};
            reportFailure(std::cout, std::cerr, format, "orv call", asRuntimeError(thrown),
                          building, cls, object ? &server::classOf(object) : nullptr, current,
                          passed);
            return 1;
        }
    } catch (const UsageError& e) {
        std::cerr << "orv call: " << e.what() << "\n(orv call --help describes the syntax)\n";
        return 2;
    }
}

const CommandRegistrar kRegistered{
    {"call", "call one operation: orv call CLASS.MEMBER [ARG]...", run}};

}  // namespace
}  // namespace orv::tool
