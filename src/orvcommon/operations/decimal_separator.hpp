// The regional decimal separator as a Funzioni object's creation reads it:
// 1.1 written as regional number text, its second character kept for this
// thread (a module-level value, once per client thread). Funzioni's XML
// number conversion reads it back. The CSV table and the record reader of
// FileUtility read it too when they start, as they always have: they split
// and clean their text with Funzioni's own operations.
#pragma once

namespace orv::operations {

// Reads the separator from the regional settings in force and keeps it.
void readDecimalSeparator();

// The separator as last read on this thread ('.' before any reading).
char16_t decimalSeparatorAsRead();

}  // namespace orv::operations
