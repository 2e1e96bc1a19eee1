// File services. Paths are library texts; the platform converts them to its
// own file-name encoding (UTF-8 on POSIX). Failures are reported as run-time
// error numbers chosen by one table (see `errorFromOs`).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "orvcommon/core/text.hpp"

namespace orv::platform {

// The folder separator of file paths on this platform ("/" here; the
// behaviour's backslash becomes this wherever it builds a path).
inline constexpr char16_t kPathSeparator = u'/';

// The run-time error number for an operating-system error code, in the one
// mapping table of the library. `parentMissing` tells a missing file (53)
// from a missing folder on the way to it (76).
int32_t errorFromOs(int osError, bool parentMissing = false);

enum class OpenMode {
    Read,               // existing file, reading
    WriteTruncate,      // create or truncate, writing
    Append,             // create if missing, every write at the end
    AppendExisting,     // existing file only, every write at the end
    ReadWriteExisting,  // existing file, reading and writing, no truncation
    WriteExisting,      // existing file, writing, no truncation
};

// An open file; closed when the object goes.
class File {
  public:
    File() = default;
    ~File();
    File(File&& o) noexcept;
    File& operator=(File&& o) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; on failure the File is closed and `error` (if given)
    // receives the run-time error number.
    static File open(TextView path, OpenMode mode, int32_t* error = nullptr);

    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Exclusive advisory lock for the life of the open file (or until close).
    bool lockExclusive();
    // Current size in bytes, -1 on failure.
    int64_t size() const;
    // True while `path` still names this same file (it was not renamed away
    // or replaced since it was opened).
    bool isStillAt(TextView path) const;

    // Writes everything with as few system calls as the OS allows (one, for
    // a log line); false on failure, `error` receives the number.
    bool writeAll(std::string_view bytes, int32_t* error = nullptr);
    // Reads up to n bytes at the current position; nullopt on failure.
    std::optional<std::string> read(size_t n, int32_t* error = nullptr);
    // Reads the whole remaining file.
    std::optional<std::string> readAll(int32_t* error = nullptr);
    // Moves the position; false on failure.
    bool seek(int64_t offset);

    int nativeHandle() const { return fd_; }

  private:
    int fd_ = -1;
};

enum class PathKind { Missing, File, Folder, Other };
PathKind pathKind(TextView path);
bool fileExists(TextView path);    // a file (not a folder)
bool folderExists(TextView path);  // a folder
bool pathExists(TextView path);    // either

// Size of a file in bytes, -1 when it cannot be read.
int64_t fileSize(TextView path);
// Renames `from` to `to`, replacing `to` atomically if it exists.
bool renameReplace(TextView from, TextView to);
// Copies a file's bytes, replacing the target.
bool copyFile(TextView from, TextView to);
bool removeFile(TextView path);
// Creates a folder and its missing parents.
bool createFolders(TextView path);

// Path helpers (text only, no OS access).
Text parentFolder(TextView path);  // "" when there is none
Text joinPath(TextView folder, TextView name);

// Temporary folder, ending in the separator: TMPDIR, else /tmp/.
Text tempFolder();

}  // namespace orv::platform
