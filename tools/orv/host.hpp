// Shared parts of the script-host sub-commands (call, run, list).
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "orvcommon/core/variant.hpp"
#include "orvcommon/orv_tool_internal.hpp"
#include "values.hpp"

namespace orv::tool {

// "f.readFile" -> {"f", "readFile"}; UsageError without a point.
std::pair<std::string, std::string> splitTarget(const std::string& target);

// Creates an object from a class name ("FileUtility") or a full creation
// name ("orvcommon.FileUtility").
ObjectRef createByName(const std::string& name);

// {"result":V,"args":[V,...]}
nlohmann::ordered_json callOutput(const Variant& result, const std::vector<const Variant*>& args);

// How call and run print results: readable text (the default when standard
// output is a terminal) or one JSON line per call (the default otherwise).
enum class Format { Text, Json };
Format defaultFormat();
// Takes "--format X" or "--format=X" at args[k] (advancing k past a
// separate value); false when args[k] is another argument. UsageError for a
// format other than text and json.
bool takeFormatOption(const std::vector<std::string>& args, size_t& k, Format& format);

// One call in text form: the result (none for a member that returns
// nothing), then each shown argument by name.
void printText(std::ostream& out, const Variant* result,
               const std::vector<std::pair<std::string, const Variant*>>& shown);
// A run-time error in text form: "error 53: File not found".
void printTextError(std::ostream& out, const RuntimeError& e);
// A value in text form; tables and result objects take several lines, each
// after the first starting with `indent`.
std::string textValue(const Variant& v, const std::string& indent);

// "readFile(ByVal sFileName As String, ...) As ErrInfo"
std::string signature(const server::Member& m);
// The names closest to `asked` (case-insensitive edit distance), best first.
std::vector<std::string> nearestNames(const std::string& asked,
                                      const std::vector<std::string>& names);
// After a failed creation or call: tells on `err` which name was not found
// and the nearest existing names (errors 429 and 438), or the member's
// parameter list (wrong argument count, errors 449 and 450). `cls` is the
// object's class when known. False when there was nothing to tell.
bool explainFailure(std::ostream& err, const std::string& tool, const RuntimeError& e,
                    const std::string& className, const server::ClassInfo* cls,
                    const std::string& memberName);

// For a type mismatch (error 13) of a call of `member` with `args`: the
// first argument that does not convert to its parameter's type, and why
// ("argument 2 (lAttributeFile As Long): \"zero\" is not a number"); "" when
// every argument converts (the error came from inside the operation).
std::string argumentMismatch(const server::Member& member, const std::vector<const Variant*>& args);

// A failed call as `call` and `run` report it: the error on `out` in the
// chosen format (with the argument that does not convert, for a type
// mismatch, as "argument" in JSON), then on `err` the argument that was
// being built when there is one, else the argument that does not convert,
// else what explainFailure says. False when nothing was said on `err`.
bool reportFailure(std::ostream& out, std::ostream& err, Format format, const std::string& tool,
                   const RuntimeError& e, const std::string& building, const std::string& className,
                   const server::ClassInfo* cls, const std::string& memberName,
                   const std::vector<const Variant*>& args = {});

// Arguments that name a member of a published enumeration
// ("dbengineORACLE") become its value where the parameter is a number;
// null entries are left alone.
void takeEnumerationNames(const server::Member& member, const std::vector<Variant*>& args);

// The argument syntax, shared by the help texts.
extern const char* const kArgumentHelp;
extern const char* const kOutputHelp;

}  // namespace orv::tool
