// The internet service: sessions and open URLs behind plain 32-bit handles
// that the caller holds, in the shape of the Windows internet API (open a
// session, open a URL in it, read the body in pieces, close a handle).
//
// Handles are positive 32-bit numbers taken from one process-wide table; a
// handle is never handed out again while it is open, and 0 means "none".
// Every function is safe to call with a handle that is unknown, closed, or
// of the other kind: it fails (or reads nothing) without side effects.
//
// On POSIX the service is libcurl. Opening a URL performs the request until
// the response has begun to arrive (connection, TLS handshake, request,
// status line and headers, through redirects), so a refused connection, an
// unknown host, a malformed address or an untrusted certificate fails the
// open. The body is then pulled from the connection as the caller reads it:
// at most a few hundred kilobytes are held ahead of the reader, whatever the
// size of the body.
//
// Time limits, as the Windows internet API sets them by default: 60 seconds
// to connect, and a receive timeout of 30 seconds without a byte, waiting
// for the response or inside the body. A timeout while opening fails the
// open; one inside the body ends it (readUrl fails after the bytes that did
// arrive), and the handle stays open until it is closed.
//
// Trust: HTTPS certificates are checked against the system's trust store,
// or only against the PEM bundle named by the environment variable
// ORV_CA_BUNDLE when that is set and not empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::platform::inet {

// How a session reaches the network.
enum class AccessType : int32_t {
    Preconfig = 0,  // the system's configuration (on POSIX the proxy environment variables)
    Direct = 1,     // straight to the server, no proxy
    Proxy = 3,      // through the session's proxy
};

// Open flags of a URL (the values of the Windows internet API).
inline constexpr uint32_t kFlagReload = 0x80000000u;               // never answer from a cache
inline constexpr uint32_t kFlagNoCacheWrite = 0x04000000u;         // never store in a cache
inline constexpr uint32_t kFlagSecure = 0x00800000u;               // TLS connection
inline constexpr uint32_t kFlagIgnoreCertCnInvalid = 0x00001000u;  // accept a host name mismatch

inline constexpr long kConnectTimeoutSeconds = 60;
inline constexpr long kReceiveTimeoutSeconds = 30;

// The largest proxy text a session keeps; shorter texts are padded with
// spaces to this length, longer ones cut.
inline constexpr size_t kProxyTextLength = 100;

// Opens a session. `proxy` is used only with AccessType::Proxy; the session
// keeps it padded or cut to kProxyTextLength characters and connects through
// that text with the trailing padding removed (a blank proxy fails).
// Returns the new session handle, or 0 on failure.
int32_t openSession(std::string_view agent, AccessType access, std::string_view proxy);

// Opens `url` (bytes as given, leading and trailing spaces ignored) in a
// session with the given open flags and performs the request until the
// response has begun. Returns the new URL handle, or 0 on failure. An HTTP
// error status is not a failure; its body is read like any other.
int32_t openUrl(int32_t session, std::string_view url, uint32_t flags);

// Reads the next `size` bytes of the body of an open URL into `buffer`,
// waiting for them, and sets `bytesRead`: fewer than `size` only at the end
// of the body or before a failure, 0 once the body has ended. Returns false
// when the handle is not an open URL or the transfer failed (then
// `bytesRead` is 0); bytes that arrived before a failure are read first.
bool readUrl(int32_t handle, char* buffer, size_t size, size_t& bytesRead);

// The length of the body still to be read when the server announced it.
std::optional<int64_t> remainingLength(int32_t handle);

// Closes a session or URL handle. Closing a session does not close the URLs
// opened in it. Returns false when the handle is not open.
bool closeHandle(int32_t handle);

// What a session keeps, for inspection.
struct SessionInfo {
    std::string agent;
    AccessType access = AccessType::Preconfig;
    std::string proxy;  // as kept: kProxyTextLength characters, or empty
};
std::optional<SessionInfo> describeSession(int32_t handle);

// Why the last openUrl, or the last readUrl that failed, failed on this
// thread, in words for the event log ("timed out: ...", "connection refused
// or unreachable: ...", "certificate not accepted: ...", "malformed
// address"); empty after a call that did not fail.
const std::string& lastFailureReason();

// Sets the receive timeout of the URLs opened from now on (tests); nullopt
// restores kReceiveTimeoutSeconds.
void setReceiveTimeoutForTesting(std::optional<long> seconds);

// Number of handles currently open (sessions and URLs).
size_t openHandleCount();

}  // namespace orv::platform::inet
