// Our IDispatch: one object of a published class, called through the class's
// member table (not through ITypeInfo::Invoke), so that argument coercion,
// by-reference write-back and run-time errors behave exactly as in every
// other host of the tables.
#pragma once

#include <oaidl.h>

#include <atomic>

#include "orvcommon/server/member_table.hpp"

namespace orv::server::com {

// Objects and class factories alive, and client locks: the server may be
// unloaded only when both are zero.
extern std::atomic<long> liveObjects;
extern std::atomic<long> serverLocks;

// The module handle of this DLL, kept by DllMain.
extern HINSTANCE moduleHandle;

// An interface pointer for an object of a published class, with one reference
// the caller owns; null for Nothing. Raises 438 for an object without a table.
IDispatch* dispatchFor(const ObjectRef& object);

// The library's object behind an interface pointer a client hands back; Nothing
// for null. Raises 13 for an object that this server did not make.
ObjectRef objectFrom(IUnknown* unknown);

// The type information of a class's dispatch interface from the type library
// embedded in this DLL (resource 1).
HRESULT dispatchTypeInfo(const PublishedClass& cls, ITypeInfo** out);

// "{...}" text of an identifier as a GUID.
GUID guidOf(const char* text);

}  // namespace orv::server::com
