// NxInet: a thin wrapper over the internet service that downloads the content
// of an HTTP or HTTPS address as text. The session and URL handles are plain
// signed 32-bit numbers that the caller receives, keeps, passes back and
// closes; the object itself holds none, and destroying it closes nothing.
//
// Expected calling order: IOpen (or IOpenExtended), IOpenUrl, IReadFile, then
// IClose on the URL handle and IClose on the session handle.
//
// Results: each ErrInfo-returning operation makes a new result object. On
// success it is returned unfilled (number 0, type 0, empty texts). When the
// internet service refuses to open a session or URL it is filled with
// eiABORTED, "HTTP Error", eiERRORTYPE, the operation's name as location,
// "NxInet" as class and the module name as process. Nothing goes to the log
// files and nothing is trapped: a run-time error outside the internet
// service (for example a proxy name that cannot be converted to text)
// reaches the caller as an orv::RuntimeError. Why a URL could not be opened,
// or why a body ended early (timed out, connection refused, host not found,
// certificate not accepted), goes to the event log for administrators.
//
// Request timing: IOpenUrl performs the request until the response has begun
// (connection, TLS handshake, request, status line and headers), so a refused
// connection, an unknown host, a malformed address or an untrusted
// certificate fails IOpenUrl. IReadFile then pulls the body from the
// connection in reads of at most 4096 bytes, appending each to the text as it
// arrives; the body is never held whole outside the text being built.
//
// Time limits, the Windows internet API's defaults: 60 seconds to connect,
// and a receive timeout of 30 seconds without a byte. A server that accepts
// the connection and never answers fails IOpenUrl after 30 seconds; one that
// stops in the middle of the body ends IReadFile there, with the text that
// arrived. The URL handle stays open for IClose either way.
//
// Trust: HTTPS certificate chains are verified against the system's trust
// store, or only against the PEM file named by the environment variable
// ORV_CA_BUNDLE when that is set. Host name mismatches are accepted for
// addresses beginning with "HTTPS" (any case). Nothing is cached.
#pragma once

#include <cstdint>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class ORV_API NxInet {
  public:
    // Agent names sent by the sessions.
    static constexpr char16_t kOpenAgent[] = u"Prova di WinInet!";
    static constexpr char16_t kOpenExtendedAgent[] = u"WinInet!";
    // Bytes asked for by each read of IReadFile.
    static constexpr int32_t kReadBufferSize = 4096;

    // Operations in interface order.

    // 1. Opens a session with agent "Prova di WinInet!" and the system's
    // preconfigured access (on POSIX: the proxy environment variables). On
    // success stores the session handle in `hInternetSession` (in/out); on
    // failure leaves it unchanged and reports location "IOpen".
    ErrInfo IOpen(int32_t& hInternetSession);

    // 2. Opens a session with agent "WinInet!". With `vntProxyName` omitted
    // the access is direct (no proxy); given, it is converted to text (CStr;
    // a failure is a run-time error of the call), padded with spaces or cut
    // to 100 characters, and every request of the session goes through that
    // proxy ("host:port" or "http://host:port"). `vntAgent`, `vntAccessType`,
    // `vntProxyBypass` and `vntFlags` are accepted and have no effect.
    // `hInternetSession` (in/out) as for IOpen, location "IOpenExtended".
    ErrInfo IOpenExtended(int32_t& hInternetSession, const Variant& vntAgent = Missing{},
                          const Variant& vntAccessType = Missing{},
                          const Variant& vntProxyName = Missing{},
                          const Variant& vntProxyBypass = Missing{},
                          const Variant& vntFlags = Missing{});

    // 3. Opens `sUrl` in the session `hInternetSession` with the flags of
    // urlOpenFlags(sUrl) and performs the request until the response has
    // begun. On success stores the URL handle in `hFileReturn`; on failure
    // leaves it unchanged and reports location "IOpenUrl". `hInternetSession`
    // and `sUrl` are in/out and not changed. An HTTP error status (404...) is
    // not a failure.
    ErrInfo IOpenUrl(int32_t& hInternetSession, Text& sUrl, int32_t& hFileReturn);

    // 4. Replaces `sHTTPBuffer` (in/out) with the rest of the body of the URL
    // handle `hFileReturn` (in), read 4096 bytes at a time and appended as
    // code page 1252 text. Stops at the end of the body or at a failed read
    // (keeping what was read); an unknown or closed handle gives the empty
    // text. Always returns the unfilled success object.
    ErrInfo IReadFile(int32_t hFileReturn, Text& sHTTPBuffer);

    // 5. Closes the session or URL handle `wHandle` (in/out, not reset) when
    // it is not 0. Closing a session leaves the URLs opened in it open.
    // Always returns 0.
    int32_t IClose(int32_t& wHandle);

    // 6. Read-only property; nothing assigns it, so it is always empty.
    const Text& Buffer() const { return buffer_; }

  private:
    Text buffer_;
};

// The open flags for a URL: 0x84801000 (reload, no cache write, secure,
// accept a certificate name mismatch) when its first five characters are
// "HTTPS" in any case, else 0x80000000 (reload).
uint32_t urlOpenFlags(TextView sUrl);

}  // namespace orv
