// File attributes, directory listing and volume information on Windows. The
// library's attribute bits are the system's own (read-only 1, hidden 2,
// system 4, directory 16, archive 32).
#include <windows.h>

#include <string>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/paths.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
using win32::sys;
namespace {

constexpr int32_t kSettable = attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive;
constexpr DWORD kPublished = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                             FILE_ATTRIBUTE_ARCHIVE;

bool sameChar(char16_t a, char16_t b) {
    return a == b || upperChar(a) == upperChar(b);
}

}  // namespace

// Names on Windows do not tell case apart, and neither does the pattern.
bool matchesPattern(TextView name, TextView pat) {
    if (pat == u"*.*") return true;
    return matchesWildcard(name, pat, sameChar);
}

Result<int32_t> getAttributes(TextView path) {
    if (path.empty()) return Failure{err::kFileNotFound};
    const DWORD a = sys.GetFileAttributesW(win32::wide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return win32::lastFailure();
    return static_cast<int32_t>(a & kPublished);
}

Status setAttributes(TextView path, int32_t attributes) {
    if ((attributes & ~kSettable) != 0) return Failure{err::kInvalidArgument};
    if (path.empty()) return Failure{err::kFileNotFound};
    const DWORD a = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(attributes);
    if (!sys.SetFileAttributesW(win32::wide(path).c_str(), a)) return win32::lastFailure();
    return Status();
}

Result<std::vector<DirEntry>> listDirectory(TextView pattern, int32_t attributeFilter) {
    std::vector<DirEntry> out;
    // "folder\" lists every entry of the folder; a pattern without a folder
    // lists the current one.
    Text query(pattern);
    if (query.empty() || query.back() == u'\\' || query.back() == u'/') query += u"*";
    WIN32_FIND_DATAW found{};
    HANDLE h = sys.FindFirstFileW(win32::wide(query).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // No match, or no such folder: an empty listing.
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_NO_MORE_FILES ||
            e == ERROR_DIRECTORY || e == ERROR_INVALID_NAME)
            return out;
        return Failure{win32::errorFromOs(e), e};
    }
    for (;;) {
        const Text name = win32::fromWide(found.cFileName, wcslen(found.cFileName));
        if (name != u"." && name != u"..") {
            const auto a = static_cast<int32_t>(found.dwFileAttributes & kPublished);
            const int32_t special = a & (attr::kHidden | attr::kSystem | attr::kDirectory);
            if ((special & ~attributeFilter) == 0) out.push_back(DirEntry{name, a});
        }
        if (!sys.FindNextFileW(h, &found)) {
            const DWORD e = GetLastError();
            sys.FindClose(h);
            if (e == ERROR_NO_MORE_FILES) return out;
            return Failure{win32::errorFromOs(e), e};
        }
    }
}

Result<int64_t> fileSize(TextView path) {
    if (path.empty()) return Failure{err::kFileNotFound};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!sys.GetFileAttributesExW(win32::wide(path).c_str(), GetFileExInfoStandard, &data))
        return win32::lastFailure();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Failure{err::kPathFileAccess};
    return static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

Text windowsFolder() {
    char buf[MAX_PATH + 1];
    const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    return n > 0 && n < sizeof buf ? win32::fromAnsi(std::string_view(buf, n)) : Text();
}

Text systemFolder() {
    char buf[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryA(buf, sizeof buf);
    return n > 0 && n < sizeof buf ? win32::fromAnsi(std::string_view(buf, n)) : Text();
}

// The serial number of the volume that holds `root`: any path on it is
// taken back to the volume's root first, which is what the system asks for.
Result<uint32_t> volumeSerial(TextView root) {
    if (root.empty()) return Failure{err::kFileNotFound};
    if (sys.GetFileAttributesW(win32::wide(root).c_str()) == INVALID_FILE_ATTRIBUTES)
        return win32::lastFailure();
    wchar_t volume[MAX_PATH + 1];
    if (!GetVolumePathNameW(win32::wide(root).c_str(), volume, MAX_PATH + 1))
        return win32::lastFailure();
    const std::string ansiRoot = win32::toAnsi(win32::fromWide(volume, wcslen(volume)));
    DWORD serial = 0;
    if (!sys.GetVolumeInformationA(ansiRoot.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr,
                                   0))
        return win32::lastFailure();
    return static_cast<uint32_t>(serial);
}

}  // namespace orv::platform
