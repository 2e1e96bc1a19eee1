// The internal interface of the `orv` command (tools/orv): what the tool
// takes from the library beyond the published headers. The tool carries the
// library inside it (the internal object library), so it may; clients of
// the installed library may not, and this header is not installed. The tool
// includes published headers and this one, nothing else of the library
// (scripts/check-layers.py checks both), so what it needs is listed here.
#pragma once

// The automation surface: class factory by name, member tables, invoke by
// name and type coercion (orv call, run, list, the host), and the type
// library's description (orv idl, the host's enumerations and records).
#include "orvcommon/server/member_table.hpp"
#include "orvcommon/server/type_library.hpp"

// The command line's arguments as text and whether output is a terminal.
#include "orvcommon/platform/console.hpp"

// The settings store (orv reg): keys and values, export and import, the
// store's path and its failures; whether a file exists.
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/settings.hpp"

// The store's text form and value layout (orv reg): the .reg text's
// warnings, value types and data, roots and key paths.
#include "orvcommon/formats/reg_text.hpp"
#include "orvcommon/formats/registry_values.hpp"

// Values printed as text and JSON: conversions and the parts of a date.
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
