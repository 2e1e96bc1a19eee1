// Shared parts of the script-host sub-commands (call, run, list).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "orvcommon/core/variant.hpp"
#include "values.hpp"

namespace orv::tool {

// "f.readFile" -> {"f", "readFile"}; UsageError without a point.
std::pair<std::string, std::string> splitTarget(const std::string& target);

// Creates an object from a class name ("FileUtility") or a full creation
// name ("orvcommon.FileUtility").
ObjectRef createByName(const std::string& name);

// {"result":V,"args":[V,...]}
nlohmann::ordered_json callOutput(const Variant& result, const std::vector<const Variant*>& args);

// The argument syntax, shared by the help texts.
extern const char* const kArgumentHelp;
extern const char* const kOutputHelp;

}  // namespace orv::tool
