// File services. Paths are library texts; the platform converts them to its
// own file-name encoding (UTF-8 on POSIX). Failures are reported as run-time
// error numbers chosen by one table (see `errorFromOs`).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // The same with the path already in the file system's encoding (see
    // nativePath), for callers that open one path very often.
    static File openNative(const std::string& path, OpenMode mode, int32_t* error = nullptr);

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
    // Reads up to n bytes at the current position into `buffer` (a block of
    // a file read piece by piece): the count read, 0 at the end of the file,
    // -1 on failure with `error` set.
    int64_t readInto(char* buffer, size_t n, int32_t* error = nullptr);
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

// A path in the file system's own encoding (UTF-8 here).
std::string nativePath(TextView path);

// Path helpers (text only, no OS access).
Text parentFolder(TextView path);  // "" when there is none
Text joinPath(TextView folder, TextView name);

// Temporary folder, ending in the separator: TMPDIR, else /tmp/.
Text tempFolder();

// ---- Attributes, directory listing, file times

// File attribute bits as the library publishes them.
namespace attr {
inline constexpr int32_t kNormal = 0;
inline constexpr int32_t kReadOnly = 1;
inline constexpr int32_t kHidden = 2;
inline constexpr int32_t kSystem = 4;
inline constexpr int32_t kDirectory = 16;
inline constexpr int32_t kArchive = 32;
}  // namespace attr

// Attributes of a file or folder. On POSIX: read-only is the absence of every
// write permission bit; hidden is a name beginning with "." or the hidden bit
// of the extended attribute `user.DOSATTRIB`; system and archive live only in
// that attribute (read in the "0x<hex>" text form, or from the binary record
// that current file servers write). -1 on failure, `error` receives the number.
int32_t getAttributes(TextView path, int32_t* error = nullptr);

// Sets read-only, hidden, system and archive (bits 1, 2, 4, 32; other bits
// are error 5). Read-only clears every write permission bit; clearing it gives
// the owner write permission back. Hidden, system and archive are written to
// `user.DOSATTRIB` as "0x<hex>" (no NUL); where the file system keeps no
// extended attributes those three bits are silently not kept (a dot-name
// stays hidden whatever is set). False on failure, `error` receives the number.
bool setAttributes(TextView path, int32_t attributes, int32_t* error = nullptr);

struct DirEntry {
    Text name;           // name within its folder
    int32_t attributes;  // as getAttributes gives them
};

// Lists the entries that match `pattern`: a folder followed by "/" (every
// entry of that folder) or a path whose last part is a name pattern with `*`
// (any run of characters) and `?` (one character); "*.*" matches every name.
// Matching is case-sensitive, as names are on this platform. Like the
// automation directory listing, `attributeFilter` 0 lists plain files only
// (read-only and archive included); adding hidden (2), system (4) or
// directory (16) lets those entries through too. "." and ".." never appear.
// A folder that does not exist (or is not a folder) lists nothing; any other
// failure (no permission to read the folder) returns false with `error` set.
bool listDirectory(TextView pattern, int32_t attributeFilter, std::vector<DirEntry>& out,
                   int32_t* error = nullptr);

// True when `name` matches the `*` / `?` pattern (case-sensitive).
bool matchesPattern(TextView name, TextView pattern);

// Sets the last-access and last-write times of an open file to `fileTime`, a
// count of 100-nanosecond intervals since 1 January 1601 UTC; 0 leaves the
// times unchanged. POSIX keeps no settable creation time, so that stamp has
// nowhere to go. False on failure.
bool setFileTimes(File& file, uint64_t fileTime, int32_t* error = nullptr);

// Size of a file in bytes; -1 with `error` set when it cannot be read (a
// folder is error 75, as opening it as a file would be).
int64_t fileLength(TextView path, int32_t* error);

// ---- System information

// The folders that answer "Windows directory" and "system directory" here,
// without a trailing separator; empty when the system gives none.
// The Windows directory is where the system keeps its own configuration: /etc.
// The system directory is where the shared system libraries live: /usr/lib
// (or /lib when /usr/lib is missing).
Text windowsFolder();
Text systemFolder();

// The 32-bit serial number of the volume that holds `root` (any path on it):
// the low 32 bits of the file-system identifier that statvfs reports, which
// the kernel derives from the volume's UUID where the file system has one.
// nullopt when the volume cannot be read (a path that does not exist).
std::optional<uint32_t> volumeSerial(TextView root);

}  // namespace orv::platform
