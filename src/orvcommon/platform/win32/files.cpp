// File services on Windows. Every file is opened with FILE_SHARE_READ,
// FILE_SHARE_WRITE and FILE_SHARE_DELETE, so that several processes can
// append to one log and any of them can rename it while the others hold it.
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
using win32::sys;
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Access {
    DWORD rights;
    DWORD disposition;
};

// An append handle has FILE_APPEND_DATA without FILE_WRITE_DATA, so the
// system puts every write at the end of the file; FILE_READ_DATA is there
// because a lock needs read or write data access.
Access accessFor(OpenMode m) {
    constexpr DWORD kAppend = FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES |
                              FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    switch (m) {
        case OpenMode::Read:
            return {GENERIC_READ, OPEN_EXISTING};
        case OpenMode::WriteTruncate:
            return {GENERIC_WRITE, CREATE_ALWAYS};
        case OpenMode::Append:
            return {kAppend, OPEN_ALWAYS};
        case OpenMode::AppendExisting:
            return {kAppend, OPEN_EXISTING};
        case OpenMode::ReadWriteExisting:
            return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING};
        case OpenMode::WriteExisting:
            return {GENERIC_WRITE, OPEN_EXISTING};
    }
    return {GENERIC_READ, OPEN_EXISTING};
}

HANDLE handleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool isFolder(const std::wstring& p) {
    const DWORD a = sys.GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens a path already in wide form with the given rights; the handle or
// the failure.
Result<HANDLE> openHandle(const std::wstring& p, DWORD rights, DWORD disposition) {
    if (p.empty()) return Failure{err::kFileNotFound};
    if (p.find(L'\0') != std::wstring::npos) return Failure{err::kBadFileNameOrNumber};
    HANDLE h = sys.CreateFileW(p.c_str(), rights, kShareAll, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // A folder cannot be opened as a file: the same error as on every
        // other system.
        if (e == ERROR_ACCESS_DENIED && isFolder(p)) return Failure{err::kPathFileAccess};
        return Failure{win32::errorFromOs(e), e};
    }
    return h;
}

Result<HANDLE> openHandle(const std::wstring& p, OpenMode mode) {
    const Access a = accessFor(mode);
    return openHandle(p, a.rights, a.disposition);
}

Status lockHandle(HANDLE h) {
    OVERLAPPED whole{};
    if (!sys.LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        return win32::lastFailure();
    return Status();
}

struct Closer {
    HANDLE h;
    Status close() {
        return sys.CloseHandle(std::exchange(h, INVALID_HANDLE_VALUE)) ? Status()
                                                                       : win32::lastFailure();
    }
    ~Closer() {
        if (h != INVALID_HANDLE_VALUE) sys.CloseHandle(h);
    }
};

}  // namespace

namespace win32 {

int32_t errorFromOs(DWORD e) {
    switch (e) {
        case ERROR_FILE_NOT_FOUND:
            return err::kFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return err::kPathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_DIR_NOT_EMPTY:
        case ERROR_CURRENT_DIRECTORY:
            return err::kPathFileAccess;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_PRIVILEGE_NOT_HELD:
            return err::kPermissionDenied;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
        case ERROR_NOT_ENOUGH_QUOTA:
        case ERROR_FILE_TOO_LARGE:
            return err::kDiskFull;
        case ERROR_TOO_MANY_OPEN_FILES:
            return err::kTooManyFiles;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
            return err::kDeviceIo;
        case ERROR_NOT_READY:
            return err::kDiskNotReady;
        case ERROR_INVALID_DRIVE:
        case ERROR_DEV_NOT_EXIST:
            return err::kDeviceUnavailable;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return err::kFileAlreadyExists;
        case ERROR_NOT_SAME_DEVICE:
            return err::kRenameAcrossDrives;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_INVALID_PARAMETER:
        case ERROR_INVALID_HANDLE:
            return err::kBadFileNameOrNumber;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return err::kOutOfMemory;
        default:
            return err::kPathFileAccess;
    }
}

Failure lastFailure() {
    const DWORD e = GetLastError();
    return Failure{errorFromOs(e), e};
}

std::wstring wide(TextView text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

Text fromWide(const wchar_t* text, size_t length) {
    return Text(reinterpret_cast<const char16_t*>(text), length);
}

Text fromWide(const std::wstring& text) {
    return fromWide(text.data(), text.size());
}

std::string toAnsi(TextView text) {
    if (text.empty()) return std::string();
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr,
                            nullptr);
    return out;
}

Text fromAnsi(std::string_view bytes) {
    if (bytes.empty()) return Text();
    const int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return fromWide(out);
}

Result<size_t> readFully(HANDLE h, char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(n - got, 1u << 30));
        DWORD r = 0;
        if (!sys.ReadFile(h, buf + got, ask, &r, nullptr)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return lastFailure();
        }
        if (r == 0) break;
        got += r;
    }
    return got;
}

Status writeFully(HANDLE h, std::string_view bytes, size_t* written) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!sys.WriteFile(h, bytes.data() + done, ask, &n, nullptr)) {
            const Failure f = lastFailure();
            if (written) *written = done + n;
            return f;
        }
        if (n == 0) {
            if (written) *written = done;
            return Failure{err::kDiskFull};
        }
        done += n;
    }
    if (written) *written = done;
    return Status();
}

}  // namespace win32

Result<File> File::open(TextView path, OpenMode mode) {
    auto h = openHandle(win32::wide(path), mode);
    if (!h) return h.failure();
    File f;
    f.handle_ = reinterpret_cast<intptr_t>(*h);
    return f;
}

Status File::close() {
    Status closed;
    if (isOpen()) {
        if (!sys.CloseHandle(handleOf(handle_))) closed = win32::lastFailure();
        handle_ = kClosed;
    }
    // A temporary file that was never put in place goes with it.
    if (!temporaryName_.empty()) sys.DeleteFileW(win32::wide(fromUtf8(temporaryName_)).c_str());
    temporaryName_.clear();
    temporaryPrefix_.clear();
    return closed;
}

// Windows has no unnamed files: the temporary file always has a random name,
// created exclusively (CREATE_NEW never opens what is there, a link
// included). Access: files take the rights of their folder on Windows, so
// both kinds are created the same way.
Result<File> File::createTemporary(TextView namePrefix, FileAccess) {
    for (int attempt = 0; attempt < backend::kNameAttempts; ++attempt) {
        const std::string name = toUtf8(namePrefix) + backend::randomSuffix();
        HANDLE h =
            sys.CreateFileW(win32::wide(fromUtf8(name)).c_str(), GENERIC_READ | GENERIC_WRITE,
                            kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            File f;
            f.handle_ = reinterpret_cast<intptr_t>(h);
            f.temporaryPrefix_ = toUtf8(namePrefix);
            f.temporaryName_ = name;
            return f;
        }
        const DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS)
            return Failure{win32::errorFromOs(e), e};
    }
    return Failure{err::kFileAlreadyExists};
}

// The file was opened with FILE_SHARE_DELETE, so it can be renamed over the
// target while it stays open.
Status File::replace(TextView target) {
    if (temporaryName_.empty()) return Failure{err::kBadFileNameOrNumber};
    if (!sys.MoveFileExW(win32::wide(fromUtf8(temporaryName_)).c_str(), win32::wide(target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return win32::lastFailure();
    temporaryName_.clear();
    temporaryPrefix_.clear();
    return Status();
}

Status File::sync() {
    return sys.FlushFileBuffers(handleOf(handle_)) ? Status() : win32::lastFailure();
}

// Rights come from the folder on Windows, and the replacement lives in the
// target's folder: there is nothing to copy.
Status File::copyAccessFrom(const File&) {
    return Status();
}

Result<uint64_t> File::modifiedTime() const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys.GetFileInformationByHandle(handleOf(handle_), &info)) return win32::lastFailure();
    return (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
           info.ftLastWriteTime.dwLowDateTime;
}

Status File::lockExclusive() {
    return lockHandle(handleOf(handle_));
}

Result<int64_t> File::size() const {
    LARGE_INTEGER s{};
    if (!sys.GetFileSizeEx(handleOf(handle_), &s)) return win32::lastFailure();
    return static_cast<int64_t>(s.QuadPart);
}

Status File::writeAll(std::string_view bytes) {
    return win32::writeFully(handleOf(handle_), bytes);
}

Result<std::string> File::read(size_t n) {
    std::string buf(n, '\0');
    auto got = win32::readFully(handleOf(handle_), buf.data(), n);
    if (!got) return got.failure();
    buf.resize(*got);
    return buf;
}

Result<size_t> File::readInto(char* buffer, size_t n) {
    return win32::readFully(handleOf(handle_), buffer, n);
}

Status File::seek(int64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    if (!sys.SetFilePointerEx(handleOf(handle_), to, nullptr, FILE_BEGIN))
        return win32::lastFailure();
    return Status();
}

// Windows keeps a creation time, and it is set too.
Status File::setTimes(uint64_t fileTime) {
    if (fileTime == 0) return Status();
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    if (!sys.SetFileTime(handleOf(handle_), &ft, &ft, &ft)) return win32::lastFailure();
    return Status();
}

// ---- The shared log file

namespace {

std::string toNative(TextView path) {
    const std::wstring w = win32::wide(path);
    return std::string(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * sizeof(wchar_t));
}

const wchar_t* nativePath(const std::string& prepared) {
    return reinterpret_cast<const wchar_t*>(prepared.data());
}

// The log is opened for reading and writing (not append-only) so that a
// write that fails part way can be cut back; every line is written at the
// end under the lock.
constexpr DWORD kLogRights = GENERIC_READ | GENERIC_WRITE;

Result<HANDLE> openLog(const std::string& prepared, bool create) {
    return openHandle(std::wstring(nativePath(prepared)), kLogRights,
                      create ? OPEN_ALWAYS : OPEN_EXISTING);
}

Status appendWhole(HANDLE h, std::string_view line, int64_t sizeBefore) {
    LARGE_INTEGER end{};
    end.QuadPart = sizeBefore;
    if (!sys.SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) return win32::lastFailure();
    size_t written = 0;
    Status s = win32::writeFully(h, line, &written);
    if (!s && written > 0) {
        // Cut back to where the file ended: no part of a line stays.
        if (sys.SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) sys.SetEndOfFile(h);
    }
    return s;
}

// Appends the line, then closes the file: the first failure of the two
// (some file systems report a failed write only at the close).
Status appendThenClose(Closer& file, std::string_view line, int64_t sizeBefore) {
    Status written = appendWhole(file.h, line, sizeBefore);
    Status closed = file.close();
    return !written ? written : closed;
}

// True when `path` still names the file open as `h`.
bool sameFile(HANDLE h, const wchar_t* path) {
    BY_HANDLE_FILE_INFORMATION mine{}, there{};
    if (!sys.GetFileInformationByHandle(h, &mine)) return false;
    HANDLE other = sys.CreateFileW(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    Closer c{other};
    if (!sys.GetFileInformationByHandle(other, &there)) return false;
    return mine.dwVolumeSerialNumber == there.dwVolumeSerialNumber &&
           mine.nFileIndexHigh == there.nFileIndexHigh && mine.nFileIndexLow == there.nFileIndexLow;
}

}  // namespace

SharedLogFile::SharedLogFile(TextView path, TextView oldCopy)
    : path_(path), oldCopy_(oldCopy), prepared_(toNative(path)), preparedOld_(toNative(oldCopy)) {}

Status SharedLogFile::run(const std::string_view* line, int64_t switchSize) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        auto opened = openLog(prepared_, line != nullptr);
        if (!opened) return opened.failure();
        Closer f{*opened};
        if (Status locked = lockHandle(f.h); !locked) return locked;
        LARGE_INTEGER size{};
        if (!sys.GetFileSizeEx(f.h, &size)) return win32::lastFailure();
        // A file renamed away by another process's rotation was larger than
        // the switch size then and has only grown, so the identity check is
        // needed only for a file that is over the size now.
        if (size.QuadPart > switchSize) {
            if (!sameFile(f.h, nativePath(prepared_))) continue;  // rotated away meanwhile
            if (sys.MoveFileExW(nativePath(prepared_), nativePath(preparedOld_),
                                MOVEFILE_REPLACE_EXISTING)) {
                if (!line) return Status();
                auto fresh = openLog(prepared_, true);
                if (!fresh) return fresh.failure();
                Closer g{*fresh};
                if (Status locked = lockHandle(g.h); !locked) return locked;
                LARGE_INTEGER freshSize{};
                if (!sys.GetFileSizeEx(g.h, &freshSize)) return win32::lastFailure();
                return appendThenClose(g, *line, freshSize.QuadPart);
            }
        }
        if (!line) return Status();
        return appendThenClose(f, *line, size.QuadPart);
    }
    // Renamed away eight times in a row under our feet: give up the line.
    return Failure{err::kPathFileAccess};
}

PathKind pathKind(TextView path) {
    if (path.empty()) return PathKind::Missing;
    const DWORD a = sys.GetFileAttributesW(win32::wide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
    if (a & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
    return PathKind::File;
}

Status renameReplace(TextView from, TextView to) {
    if (!sys.MoveFileExW(win32::wide(from).c_str(), win32::wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING))
        return win32::lastFailure();
    return Status();
}

Status removeFile(TextView path) {
    if (!sys.DeleteFileW(win32::wide(path).c_str())) return win32::lastFailure();
    return Status();
}

Status createFolders(TextView path) {
    const std::wstring p = win32::wide(path);
    if (p.empty()) return Failure{err::kPathNotFound};
    // Each folder on the way; a drive ("C:") or a share root ("\\server\share")
    // exists or not by itself.
    // The folders above may refuse creation because they exist or cannot
    // be made (a share root): only the last refusal counts, when the folder
    // is not there in the end.
    DWORD refused = 0;
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == L'\\' || p[i] == L'/') {
            const std::wstring part = p.substr(0, i);
            if (part.size() == 2 && part[1] == L':') continue;
            if (!sys.CreateDirectoryW(part.c_str(), nullptr)) {
                const DWORD e = GetLastError();
                if (e == ERROR_DISK_FULL || e == ERROR_NOT_READY || e == ERROR_TOO_MANY_OPEN_FILES)
                    return Failure{win32::errorFromOs(e), e};
                if (e != ERROR_ALREADY_EXISTS) refused = e;
            }
        }
    }
    if (folderExists(path)) return Status();
    return refused ? Failure{win32::errorFromOs(refused), refused} : Failure{err::kPathNotFound};
}

Result<File> File::openWorkFile(TextView path, bool lock, bool* created) {
    const std::wstring p = win32::wide(path);
    if (p.empty()) return Failure{err::kFileNotFound};
    if (p.find(L'\0') != std::wstring::npos) return Failure{err::kBadFileNameOrNumber};
    // The temporary folder is the user's own; still, a link (a reparse point)
    // or a folder there is not followed or used.
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    bool made = true;
    HANDLE h = sys.CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                               CREATE_NEW, kFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        made = false;
        h = sys.CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_EXISTING, kFlags, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_ACCESS_DENIED) return Failure{err::kFileAlreadyExists};  // a folder
        return Failure{win32::errorFromOs(e), e};
    }
    File f;
    f.handle_ = reinterpret_cast<intptr_t>(h);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys.GetFileInformationByHandle(h, &info)) return win32::lastFailure();
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1)
        return Failure{err::kFileAlreadyExists};
    if (lock) {
        // Locks on Windows bind every handle's reads and writes: the lock
        // lies far past any content, where no one reads or writes.
        OVERLAPPED beyond{};
        beyond.Offset = 0xFFFFFFFEu;
        beyond.OffsetHigh = 0x7FFFFFFFu;
        if (!sys.LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                            &beyond))
            return GetLastError() == ERROR_LOCK_VIOLATION ? Failure{err::kFileAlreadyExists}
                                                          : win32::lastFailure();
    }
    if (created) *created = made;
    return f;
}

Text tempFolder() {
    char buf[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buf, buf);
    Text out = n > 0 && n < sizeof buf ? win32::fromAnsi(std::string_view(buf, n)) : Text(u"C:\\");
    if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
    return out;
}

}  // namespace orv::platform
