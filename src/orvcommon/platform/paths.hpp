// Paths as texts: joining and splitting, no access to the file system.
#pragma once

#include "orvcommon/base/text.hpp"

namespace orv::platform {

// The folder separator of file paths on this platform (the behaviour's
// backslash becomes this wherever it builds a path).
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The folder part of `path`: "" when there is none, the root itself for a
// name in the root.
Text parentFolder(TextView path);
// `folder` and `name` with one separator between them.
Text joinPath(TextView folder, TextView name);

// Whether `name` matches `pattern`, where "?" stands for any one character
// and "*" for any run of them; `same` compares one character of each (each
// system decides whether names tell case apart).
bool matchesWildcard(TextView name, TextView pattern, bool (*same)(char16_t, char16_t));

}  // namespace orv::platform
