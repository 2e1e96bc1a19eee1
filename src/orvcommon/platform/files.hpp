// File services. Paths are library texts; the platform converts them to its
// own file-name encoding (UTF-8 on POSIX). Failures come back as the run-time
// error number their cause maps to, chosen by one table in the backend.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orvcommon/base/result.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/paths.hpp"

namespace orv::platform {

enum class OpenMode {
    Read,               // existing file, reading
    WriteTruncate,      // create or truncate, writing
    Append,             // create if missing, every write at the end
    AppendExisting,     // existing file only, every write at the end
    ReadWriteExisting,  // existing file, reading and writing, no truncation
    WriteExisting,      // existing file, writing, no truncation
};

// Who may read a file the library creates.
enum class FileAccess {
    OwnerOnly,  // the owner alone reads and writes
    AllRead,    // the owner writes, every local user reads
};

// An open file; closed when the object goes. What the backend holds to reach
// the file stays inside it.
class File {
  public:
    File() = default;
    ~File();
    File(File&& o) noexcept;
    File& operator=(File&& o) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; a folder opened for reading is error 75.
    static Result<File> open(TextView path, OpenMode mode);

    // A new file for writing that no other process can open or pre-empt
    // while it is written: unnamed where the file system allows it, else
    // named `namePrefix` and random characters, created exclusively and
    // never through a link. replace() puts it in place; closed before that,
    // it is gone (a process killed meanwhile may leave a named one behind:
    // its name begins with `namePrefix`).
    static Result<File> createTemporary(TextView namePrefix, FileAccess access);

    // A work file of the library's own in the temporary folder (tempFolder),
    // named by the caller, that is to be this call's alone: opened without
    // following a link, created for the owner alone when missing (`created`
    // says so). A name whose file is a link, not a regular file, or
    // another user's is refused with error 58 (file already exists): the
    // caller draws another name. With `lock` the file is also locked
    // exclusively while it stays open, and a file another call holds so is
    // refused the same way.
    static Result<File> openWorkFile(TextView path, bool lock, bool* created = nullptr);

    bool isOpen() const { return handle_ != kClosed; }
    // Closes the file. Some file systems (network, quota) report a write
    // failure only here: after writing, check it as part of the write. The
    // file is closed whatever the answer.
    Status close();

    // Puts a file made by createTemporary in place of `target`, in the same
    // folder, in one step: a reader opens the old file or this one, never
    // neither. The file stays open.
    Status replace(TextView target);
    // Flushes what was written to the disk.
    Status sync();
    // Gives this file the access rights of `other` (and its owner, where the
    // process may give it).
    Status copyAccessFrom(const File& other);
    // The last-write time, in the units of setTimes.
    Result<uint64_t> modifiedTime() const;

    // Exclusive advisory lock for the life of the open file (or until close).
    Status lockExclusive();
    // Current size in bytes.
    Result<int64_t> size() const;
    // Writes everything with as few system calls as the OS allows (one, for
    // a log line).
    Status writeAll(std::string_view bytes);
    // Reads up to n bytes at the current position (fewer at the end).
    Result<std::string> read(size_t n);
    // Reads the whole remaining file.
    Result<std::string> readAll();
    // Reads up to n bytes at the current position into `buffer` (a block of
    // a file read piece by piece): the count read, 0 at the end of the file.
    Result<size_t> readInto(char* buffer, size_t n);
    // Moves the position.
    Status seek(int64_t offset);
    // Sets the last-access and last-write times to `fileTime`, a count of
    // 100-nanosecond intervals since 1 January 1601 UTC; 0 leaves the times
    // unchanged. POSIX keeps no settable creation time, so that stamp has
    // nowhere to go.
    Status setTimes(uint64_t fileTime);

  private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // the backend's own, opaque here
    // A temporary file not yet in place: its name prefix, and its own name
    // when it has one (the backend's form).
    std::string temporaryPrefix_, temporaryName_;
};

// A text file that several processes append to one line at a time, renamed
// to an old copy (replacing an earlier one) once it has grown past a size.
//
// Every line goes out whole in one write, under an exclusive lock on the
// file that also covers "check the size, rename": the rename happens once
// however many processes log, and no line is lost. A process that opened
// the file just before another renamed it notices (the path names another
// file now) and writes to the new file instead. A write that fails half way
// is taken back, so the file never holds part of a line.
class SharedLogFile {
  public:
    SharedLogFile(TextView path, TextView oldCopy);
    // Appends `line` after renaming the file when it is larger than
    // `switchSize` bytes. When the rename fails the file stays and the line
    // is appended to it.
    Status append(std::string_view line, int64_t switchSize);
    // Only the rename, of an existing file past `switchSize` bytes.
    Status rotate(int64_t switchSize);
    const Text& path() const { return path_; }

  private:
    Status run(const std::string_view* line, int64_t switchSize);
    Text path_, oldCopy_;
    std::string prepared_, preparedOld_;  // the paths in the backend's own form
};

enum class PathKind { Missing, File, Folder, Other };
PathKind pathKind(TextView path);
bool fileExists(TextView path);    // a file (not a folder)
bool folderExists(TextView path);  // a folder
bool pathExists(TextView path);    // either

// Renames `from` to `to`, replacing `to` atomically if it exists.
Status renameReplace(TextView from, TextView to);
// Copies a file's bytes, replacing the target.
Status copyFile(TextView from, TextView to);
Status removeFile(TextView path);
// Creates a folder and its missing parents.
Status createFolders(TextView path);

// The temporary folder for the library's work files, ending in the
// separator; empty when there is none to use. On Windows the user's own
// (GetTempPath). On POSIX TMPDIR when set, else a folder of the user's own:
// $XDG_RUNTIME_DIR, else /tmp/orvcommon-<uid>, created for the user alone;
// either is used only when the user owns it and nobody else may write to it.
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
// that current file servers write).
Result<int32_t> getAttributes(TextView path);

// Sets read-only, hidden, system and archive (bits 1, 2, 4, 32; other bits
// are error 5). Read-only clears every write permission bit; clearing it gives
// the owner write permission back. Hidden, system and archive are written to
// `user.DOSATTRIB` as "0x<hex>" (no NUL); where the file system keeps no
// extended attributes those three bits are silently not kept (a dot-name
// stays hidden whatever is set).
Status setAttributes(TextView path, int32_t attributes);

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
// failure (no permission to read the folder) is its error number.
Result<std::vector<DirEntry>> listDirectory(TextView pattern, int32_t attributeFilter);

// True when `name` matches the `*` / `?` pattern (case-sensitive).
bool matchesPattern(TextView name, TextView pattern);

// Size of a file in bytes (a folder is error 75, as opening it as a file
// would be).
Result<int64_t> fileSize(TextView path);

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
// An error when the volume cannot be read (a path that does not exist).
Result<uint32_t> volumeSerial(TextView root);

}  // namespace orv::platform
