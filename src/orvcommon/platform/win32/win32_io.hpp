// Private to the Windows backend: the table of system calls it makes, the one
// mapping from system error codes to run-time error numbers, and the
// conversions between library texts and the system's wide and ANSI strings.
#pragma once

#include <windows.h>

#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/system_calls.hpp"

#include <cstdint>
#include <string>
#include <string_view>

#include "orvcommon/base/result.hpp"
#include "orvcommon/base/text.hpp"

// Every system call the backend makes on files, X(name, result, parameters,
// arguments). Each goes through `sys`, whose entries a test can replace by
// name (setSystemCall in platform/system_calls.hpp) to make the system fail
// on purpose; a replacement reports its failure with SetLastError.
#define ORV_WIN32_SYSCALLS(X)                                                                      \
    X(CreateFileW, HANDLE,                                                                         \
      (LPCWSTR p, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),         \
      (p, a, s, sa, c, f, t))                                                                      \
    X(CloseHandle, BOOL, (HANDLE h), (h))                                                          \
    X(ReadFile, BOOL, (HANDLE h, LPVOID b, DWORD n, LPDWORD got, LPOVERLAPPED o),                  \
      (h, b, n, got, o))                                                                           \
    X(WriteFile, BOOL, (HANDLE h, LPCVOID b, DWORD n, LPDWORD put, LPOVERLAPPED o),                \
      (h, b, n, put, o))                                                                           \
    X(SetFilePointerEx, BOOL, (HANDLE h, LARGE_INTEGER d, PLARGE_INTEGER p, DWORD m),              \
      (h, d, p, m))                                                                                \
    X(SetEndOfFile, BOOL, (HANDLE h), (h))                                                         \
    X(FlushFileBuffers, BOOL, (HANDLE h), (h))                                                     \
    X(LockFileEx, BOOL, (HANDLE h, DWORD f, DWORD r, DWORD lo, DWORD hi, LPOVERLAPPED o),          \
      (h, f, r, lo, hi, o))                                                                        \
    X(GetFileSizeEx, BOOL, (HANDLE h, PLARGE_INTEGER s), (h, s))                                   \
    X(GetFileInformationByHandle, BOOL, (HANDLE h, LPBY_HANDLE_FILE_INFORMATION i), (h, i))        \
    X(GetFileAttributesW, DWORD, (LPCWSTR p), (p))                                                 \
    X(GetFileAttributesExW, BOOL, (LPCWSTR p, GET_FILEEX_INFO_LEVELS l, LPVOID d), (p, l, d))      \
    X(SetFileAttributesW, BOOL, (LPCWSTR p, DWORD a), (p, a))                                      \
    X(SetFileTime, BOOL, (HANDLE h, const FILETIME* c, const FILETIME* a, const FILETIME* w),      \
      (h, c, a, w))                                                                                \
    X(MoveFileExW, BOOL, (LPCWSTR a, LPCWSTR b, DWORD f), (a, b, f))                               \
    X(DeleteFileW, BOOL, (LPCWSTR p), (p))                                                         \
    X(CreateDirectoryW, BOOL, (LPCWSTR p, LPSECURITY_ATTRIBUTES sa), (p, sa))                      \
    X(FindFirstFileW, HANDLE, (LPCWSTR p, LPWIN32_FIND_DATAW d), (p, d))                           \
    X(FindNextFileW, BOOL, (HANDLE h, LPWIN32_FIND_DATAW d), (h, d))                               \
    X(FindClose, BOOL, (HANDLE h), (h))                                                            \
    X(GetVolumeInformationA, BOOL,                                                                 \
      (LPCSTR r, LPSTR n, DWORD nn, LPDWORD s, LPDWORD m, LPDWORD f, LPSTR fs, DWORD nfs),         \
      (r, n, nn, s, m, f, fs, nfs))                                                                \
    X(RegOpenKeyExA, LONG, (HKEY k, LPCSTR s, DWORD o, REGSAM r, PHKEY out), (k, s, o, r, out))    \
    X(RegQueryValueExA, LONG, (HKEY k, LPCSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD c),       \
      (k, n, r, t, d, c))                                                                          \
    X(RegCloseKey, LONG, (HKEY k), (k))                                                            \
    X(RegCreateKeyExA, LONG,                                                                       \
      (HKEY k, LPCSTR s, DWORD r, LPSTR c, DWORD o, REGSAM m, LPSECURITY_ATTRIBUTES sa, PHKEY out, \
       LPDWORD d),                                                                                 \
      (k, s, r, c, o, m, sa, out, d))                                                              \
    X(RegSetValueExA, LONG, (HKEY k, LPCSTR n, DWORD r, DWORD t, const BYTE* d, DWORD c),          \
      (k, n, r, t, d, c))

namespace orv::platform::win32 {

// The system's calls carry the system's calling convention; the services are
// the library's own functions.
struct SystemCalls {
#define ORV_SYSCALL_ENTRY(name, result, params, args) result(WINAPI* name) params;
    ORV_WIN32_SYSCALLS(ORV_SYSCALL_ENTRY)
#undef ORV_SYSCALL_ENTRY
};
// The calls in force.
extern SystemCalls sys;

// The run-time error number for a system error code (GetLastError).
int32_t errorFromOs(DWORD e);
// GetLastError as a failure.
Failure lastFailure();

// A library text as a NUL-terminated wide string, and back.
std::wstring wide(TextView text);
Text fromWide(const wchar_t* text, size_t length);
Text fromWide(const std::wstring& text);
// The system's ANSI code page, both ways (texts the system hands out
// through its -A functions).
std::string toAnsi(TextView text);
Text fromAnsi(std::string_view bytes);

// Reads until `n` bytes or the end of the file.
Result<size_t> readFully(HANDLE h, char* buf, size_t n);
// Writes all of `bytes`; on failure `written` holds how much went out.
Status writeFully(HANDLE h, std::string_view bytes, size_t* written = nullptr);

}  // namespace orv::platform::win32
