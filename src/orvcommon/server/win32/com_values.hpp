// Automation VARIANTs and the library's Variant: the conversions at the edge
// of the Windows in-process server.
//
// Strings are BSTRs; a byte string (a whole file's bytes) goes out as a BSTR
// whose storage holds the bytes. A BSTR of an odd byte length comes in as a
// byte string, any other as text: the two share one storage, so the
// operations that read text from either see the same characters. Arrays go
// out as SAFEARRAYs of VARIANTs with their bounds; a never-dimensioned array
// is a null SAFEARRAY. Objects travel as the server's own IDispatch.
#pragma once

#include <oaidl.h>

#include "orvcommon/core/variant.hpp"

namespace orv::server::com {

// A caller's argument as the library's value. By-reference arguments are read
// through their reference, both VT_BYREF|VT_VARIANT (what script hosts pass)
// and VT_BYREF|<type> (what compiled clients pass). An omitted optional
// argument (VT_ERROR holding DISP_E_PARAMNOTFOUND) is Missing. A record
// (VT_RECORD) is an array of its fields in record order. Raises 13 for a type
// the library has no value for, and for an object that is not the server's.
orv::Variant fromVariant(const VARIANT& in);

// The library's value as a VARIANT that the caller then owns. `out` must
// hold nothing (VT_EMPTY); it is left that way when a conversion fails.
void toVariant(const orv::Variant& value, VARIANT& out);

// Writes the value of a by-reference parameter back into the caller's own
// variable, in the caller's own type and storage. Does nothing for an
// argument passed by value. A fixed-size array that would change shape
// raises 10.
void writeBack(VARIANT& arg, const orv::Variant& value);

}  // namespace orv::server::com
