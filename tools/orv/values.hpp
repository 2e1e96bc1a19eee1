// Values of the script host: typed JSON values in and out, command-line
// arguments ("long:7", ":missing", "json:{...}"), and the objects behind
// them.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/variant.hpp"

namespace orv::tool {

// A mistake in how the tool was called or in a script: exit code 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Typed JSON value of a Variant: {"type":"Long","value":7}, arrays with
// "lbound" and nested "items", ErrInfo objects with their seven fields.
nlohmann::ordered_json toJson(const Variant& v);
// A Variant from a typed JSON value, or from plain JSON (string, integer,
// fraction, true/false, null, array). UsageError when it is neither.
Variant fromJson(const nlohmann::ordered_json& j);

// One command-line argument: plain text is a String; TYPE:VALUE with TYPE
// one of str int long single double cur dec bool byte date; ":empty",
// ":null", ":missing"; "json:" and a JSON value.
Variant parseArgument(std::string_view arg);

// The run-time error a failure of a call stands for: the error itself, 7
// (out of memory) for a failed allocation, 51 (internal error) for any other
// exception, so that the tools report every failure with a number.
RuntimeError asRuntimeError(const std::exception& e);

// {"error":{"number":N,"description":"..."}}
nlohmann::ordered_json errorJson(const RuntimeError& e);

// One line of JSON output (invalid UTF-8 is replaced, never thrown).
std::string dumpLine(const nlohmann::ordered_json& j);

}  // namespace orv::tool
