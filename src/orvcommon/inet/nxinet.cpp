#include "orvcommon/inet/nxinet.hpp"

#include <array>
#include <new>
#include <string_view>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/platform/eventlog.hpp"
#include "orvcommon/platform/inet.hpp"
#include "orvcommon/platform/memory.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

namespace net = platform::inet;

constexpr uint32_t kPlainFlags = net::kFlagReload;
constexpr uint32_t kSecureFlags =
    net::kFlagReload | net::kFlagNoCacheWrite | net::kFlagSecure | net::kFlagIgnoreCertCnInvalid;
static_assert(kSecureFlags == 0x84801000u);

// Code page 1252 byte to character, as a table the read loop can inline.
const std::array<char16_t, 256> kCodePage = [] {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = cp1252::toUnicode(static_cast<std::uint8_t>(b));
    return table;
}();

// Texts cross to the internet service as code page 1252 bytes.
std::string narrow(TextView text) {
    return cp1252::encode(text);
}

// The result of a refused open: eiABORTED "HTTP Error" at `location`, not
// logged.
ErrInfo httpError(TextView location) {
    ErrInfo result;
    fillDetectedFailure(result, Trap{Text(location), classOrigin(u"NxInet")}, eiABORTED,
                        u"HTTP Error");
    return result;
}

// Stores a handle from the service, or reports the failure: a handle that is
// 0 or negative counts as a failure.
ErrInfo acceptHandle(int32_t handle, int32_t& target, TextView location) {
    if (handle <= 0) return httpError(location);
    target = handle;
    return ErrInfo{};
}

// Makes room for a body whose length the server announced, so that the text
// is not copied while it grows. Only a hint: an implausible or unaffordable
// length is ignored.
void reserveFor(int32_t handle, Text& text) {
    constexpr int64_t kLargestReservation = int64_t{1} << 28;  // characters
    const auto remaining = net::remainingLength(handle);
    if (!remaining || *remaining <= 0 || *remaining > kLargestReservation) return;
    try {
        text.reserve(static_cast<size_t>(*remaining));
    } catch (const std::bad_alloc&) {
        return;  // the text grows as the body arrives instead
    }
    constexpr size_t kLargeBlockBytes = size_t{8} << 20;
    const size_t bytes = text.capacity() * sizeof(char16_t);
    if (bytes >= kLargeBlockBytes) platform::adviseLargeBlock(text.data(), bytes);
}

// Writes `what` and the internet service's reason for its last failure to
// the event log, when it failed.
void logReason(TextView what) {
    const std::string& reason = net::lastFailureReason();
    if (!reason.empty()) platform::writeEventLog(Text(what) + u" (" + fromUtf8(reason) + u")");
}

}  // namespace

uint32_t urlOpenFlags(TextView sUrl) {
    return equalsIgnoreCase(sUrl.substr(0, 5), u"HTTPS") ? kSecureFlags : kPlainFlags;
}

ErrInfo NxInet::IOpen(int32_t& hInternetSession) {
    const int32_t handle =
        net::openSession(narrow(kOpenAgent), net::AccessType::Preconfig, std::string_view{});
    return acceptHandle(handle, hInternetSession, u"IOpen");
}

ErrInfo NxInet::IOpenExtended(int32_t& hInternetSession, const Variant& /*vntAgent*/,
                              const Variant& /*vntAccessType*/, const Variant& vntProxyName,
                              const Variant& /*vntProxyBypass*/, const Variant& /*vntFlags*/) {
    int32_t handle = 0;
    if (vntProxyName.isMissing()) {
        handle = net::openSession(narrow(kOpenExtendedAgent), net::AccessType::Direct,
                                  std::string_view{});
    } else {
        Text proxy = toText(vntProxyName);
        proxy.resize(net::kProxyTextLength, u' ');  // padded or cut to 100 characters
        handle =
            net::openSession(narrow(kOpenExtendedAgent), net::AccessType::Proxy, narrow(proxy));
    }
    return acceptHandle(handle, hInternetSession, u"IOpenExtended");
}

ErrInfo NxInet::IOpenUrl(int32_t& hInternetSession, Text& sUrl, int32_t& hFileReturn) {
    const int32_t handle = net::openUrl(hInternetSession, narrow(sUrl), urlOpenFlags(sUrl));
    // The caller learns only "HTTP Error"; the event log says why. (Not the
    // address: it may carry a user name and password.)
    if (handle <= 0) logReason(u"NxInet.IOpenUrl: HTTP Error");
    return acceptHandle(handle, hFileReturn, u"IOpenUrl");
}

ErrInfo NxInet::IReadFile(int32_t hFileReturn, Text& sHTTPBuffer) {
    sHTTPBuffer.clear();
    reserveFor(hFileReturn, sHTTPBuffer);
    std::array<char, kReadBufferSize> chunk;
    std::array<char16_t, kReadBufferSize> characters;
    for (;;) {
        size_t bytesRead = 0;
        if (!net::readUrl(hFileReturn, chunk.data(), chunk.size(), bytesRead) || bytesRead == 0)
            break;
        // Decoded beside the text and appended, so the text's memory is
        // written once.
        for (size_t i = 0; i < bytesRead; ++i)
            characters[i] = kCodePage[static_cast<unsigned char>(chunk[i])];
        sHTTPBuffer.append(characters.data(), bytesRead);
    }
    logReason(u"NxInet.IReadFile: the body ended early");
    return ErrInfo{};
}

int32_t NxInet::IClose(int32_t& wHandle) {
    if (wHandle != 0) net::closeHandle(wHandle);
    return 0;
}

}  // namespace orv
