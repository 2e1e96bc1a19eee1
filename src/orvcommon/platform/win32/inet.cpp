// The internet service over WinINet. The handles the caller holds are the
// library's own 32-bit numbers; each maps to a WinINet handle. A session's
// WinINet handle stays open until the session and every URL opened in it are
// closed, because closing a WinINet parent handle would end its children too.
// Certificates are checked against the system's trust store (ORV_CA_BUNDLE
// is a POSIX setting).
#include "orvcommon/platform/inet.hpp"
#include "orvcommon/platform/inet_common.hpp"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace orv::platform::inet {
namespace {

// The largest piece asked of InternetReadFile at a time.
constexpr DWORD kReadPiece = 4096;

// Why a WinINet call failed, in the words the POSIX backend uses.
std::string describeFailure(DWORD code) {
    const char* kind = "failed";
    switch (code) {
        case ERROR_INTERNET_TIMEOUT:
            kind = "timed out";
            break;
        case ERROR_INTERNET_CANNOT_CONNECT:
        case ERROR_INTERNET_CONNECTION_ABORTED:
        case ERROR_INTERNET_CONNECTION_RESET:
            kind = "connection refused or unreachable";
            break;
        case ERROR_INTERNET_NAME_NOT_RESOLVED:
            kind = "host not found";
            break;
        case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case ERROR_INTERNET_INVALID_CA:
        case ERROR_INTERNET_SEC_CERT_ERRORS:
        case ERROR_INTERNET_SEC_CERT_REVOKED:
        case ERROR_INTERNET_SEC_INVALID_CERT:
            kind = "certificate not accepted";
            break;
        case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
            kind = "secure connection failed";
            break;
        case ERROR_INTERNET_INVALID_URL:
        case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
            return "malformed address";
        default:
            break;
    }
    return std::string(kind) + ": error " + std::to_string(code);
}

// Both time limits on a WinINet handle, in milliseconds.
void setTimeouts(HINTERNET h) {
    DWORD connect = static_cast<DWORD>(kConnectTimeoutSeconds * 1000);
    DWORD receive = static_cast<DWORD>(receiveTimeoutSeconds() * 1000);
    InternetSetOptionA(h, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

struct Session : SessionBase {
    HINTERNET handle = nullptr;
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() override {
        if (handle) InternetCloseHandle(handle);
    }
};

struct UrlTransfer : TransferBase {
    std::shared_ptr<Session> session;  // keeps the parent handle open
    HINTERNET handle = nullptr;
    ~UrlTransfer() override {
        if (handle) InternetCloseHandle(handle);
    }
};

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

int32_t openSession(std::string_view agent, AccessType access, std::string_view proxy) {
    auto session = std::make_shared<Session>();
    session->info.agent = std::string(agent);
    session->info.access = access;
    std::string proxyName;
    if (access == AccessType::Proxy) {
        std::string kept(proxy.substr(0, kProxyTextLength));
        kept.resize(kProxyTextLength, ' ');
        if (trimSpaces(kept).empty()) return 0;
        proxyName = std::string(trimSpaces(kept));
        session->info.proxy = std::move(kept);
    } else if (access != AccessType::Direct && access != AccessType::Preconfig) {
        return 0;
    }
    if (session->info.agent.find('\0') != std::string::npos) return 0;
    session->handle = InternetOpenA(session->info.agent.c_str(), static_cast<DWORD>(access),
                                    proxyName.empty() ? nullptr : proxyName.c_str(),
                                    proxyName.empty() ? nullptr : "", 0);
    if (!session->handle) return 0;
    return addHandle(std::move(session));
}

int32_t openUrl(int32_t sessionHandle, std::string_view url, uint32_t flags) {
    failureReason().clear();
    const auto refuse = [](const char* why) {
        failureReason() = why;
        return 0;
    };
    auto session = findSession<Session>(sessionHandle);
    if (!session) return refuse("no such session");
    const std::string address(trimSpaces(url));
    if (address.empty() || address.find('\0') != std::string::npos)
        return refuse("malformed address");
    // Web addresses only, with their scheme: anything else is malformed.
    if (!startsWithIgnoreCase(address, "http://") && !startsWithIgnoreCase(address, "https://"))
        return refuse("malformed address");
    auto transfer = std::make_shared<UrlTransfer>();
    setTimeouts(session->handle);
    transfer->handle = InternetOpenUrlA(session->handle, address.c_str(), nullptr, 0, flags, 0);
    if (!transfer->handle) {
        failureReason() = describeFailure(GetLastError());
        return 0;
    }
    transfer->session = std::move(session);
    return addHandle(std::move(transfer));
}

bool readUrl(int32_t handle, char* buffer, size_t size, size_t& bytesRead) {
    bytesRead = 0;
    failureReason().clear();
    const auto transfer = findTransfer<UrlTransfer>(handle);
    if (!transfer) return false;
    std::lock_guard guard(transfer->lock);
    UrlTransfer& t = *transfer;
    // Waits until the buffer is full or the body has ended, in pieces of at
    // most 4096 bytes.
    bool ok = true;
    while (bytesRead < size) {
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - bytesRead, kReadPiece));
        DWORD got = 0;
        if (!InternetReadFile(t.handle, buffer + bytesRead, ask, &got)) {
            failureReason() = describeFailure(GetLastError());
            ok = false;
            break;
        }
        if (got == 0) break;
        bytesRead += got;
    }
    t.delivered += static_cast<int64_t>(bytesRead);
    return bytesRead > 0 || ok;
}

std::optional<int64_t> announcedLength(TransferBase& transfer) {
    char text[32] = {};
    DWORD length = sizeof text;
    DWORD index = 0;
    if (!HttpQueryInfoA(static_cast<UrlTransfer&>(transfer).handle, HTTP_QUERY_CONTENT_LENGTH, text,
                        &length, &index))
        return std::nullopt;
    char* end = nullptr;
    const long long announced = std::strtoll(text, &end, 10);
    if (end == text || announced < 0) return std::nullopt;
    return static_cast<int64_t>(announced);
}

}  // namespace orv::platform::inet
