// What the engine asks of the operating system: files by UTF-8 path and
// font files by family and style. system_posix.cpp (fontconfig) and
// system_win32.cpp (GDI) implement it.
#pragma once

#include <cstdio>
#include <string>

namespace tvpdf::sys {

enum class ReadResult { Ok, Missing, NotRegular, Failed };

// Reads the whole file at `path` into `bytes`. Only a regular file is
// read: a FIFO, a device or a folder is NotRegular and never waited on.
ReadResult readRegularFile(const std::string& path, std::string& bytes);

// Creates (or truncates) the file at `path` for writing; nullptr on failure.
FILE* createFile(const std::string& path);

// The bytes of the installed TrueType font of exactly this family (any
// case) in the style nearest to bold/italic, and its face number when the
// file is a collection. False when no font of the family is installed.
bool findFont(const std::string& family, bool bold, bool italic, std::string& data, int& index);

// Hands back what the font lookup holds (the command calls it on exit).
void releaseSystemResources();

}  // namespace tvpdf::sys
