// The internet service over libcurl.
//
// Each URL handle owns one easy transfer driven by its own multi handle, so
// the transfer advances only while the caller waits in openUrl or readUrl:
// openUrl drives it until the first body bytes (or the end of the transfer)
// arrive, readUrl drives it again whenever the bytes received so far have
// been handed out. One drive step receives at most one socket read (or one
// TLS record), so the bytes held ahead of the reader stay small however large
// the body is.
#include "orvcommon/platform/inet.hpp"
#include "orvcommon/platform/inet_common.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace orv::platform::inet {
namespace {

constexpr long kMaxRedirects = 20;
constexpr long kReceiveBufferBytes = 64 * 1024;
constexpr int kPollMilliseconds = 1000;
constexpr size_t kHeldAheadBytes = 256 * 1024;

// The failure in words: the kind an administrator looks for first, then
// libcurl's own detail.
std::string describeFailure(CURLcode code, const char* detail) {
    const char* kind = "failed";
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            kind = "timed out";
            break;
        case CURLE_COULDNT_CONNECT:
            kind = "connection refused or unreachable";
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            kind = "host not found";
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            kind = "certificate not accepted";
            break;
        case CURLE_SSL_CONNECT_ERROR:
            kind = "secure connection failed";
            break;
        default:
            break;
    }
    return std::string(kind) + ": " + (detail && *detail ? detail : curl_easy_strerror(code));
}

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using Session = SessionBase;

struct UrlTransfer : TransferBase {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    CURLU* url = nullptr;
    bool attached = false;
    std::string pending;  // received body bytes not yet read
    size_t readPos = 0;   // how much of `pending` has been read
    bool paused = false;  // the body callback refused a piece; libcurl holds it
    bool done = false;
    CURLcode result = CURLE_OK;
    char errorText[CURL_ERROR_SIZE] = {};  // libcurl's detail of a failure

    ~UrlTransfer() override {
        if (attached) curl_multi_remove_handle(multi, easy);
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
        if (url) curl_url_cleanup(url);
    }

    size_t unread() const { return pending.size() - readPos; }

    // Drives the transfer until unread bytes are waiting or it has ended.
    void pump() {
        while (unread() == 0 && !done) {
            pending.clear();
            readPos = 0;
            if (paused) {
                paused = false;  // resuming hands back the refused piece first
                if (curl_easy_pause(easy, CURLPAUSE_CONT) != CURLE_OK) {
                    finish(CURLE_FAILED_INIT);
                    break;
                }
                if (unread() > 0) break;
            }
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                finish(CURLE_FAILED_INIT);
                break;
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued))
                if (msg->msg == CURLMSG_DONE) finish(msg->data.result);
            if (unread() > 0 || done) break;
            if (curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr) != CURLM_OK) {
                finish(CURLE_FAILED_INIT);
                break;
            }
        }
    }

    void finish(CURLcode code) {
        done = true;
        result = code;
    }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<UrlTransfer*>(user);
    const size_t bytes = size * count;
    if (!transfer->pending.empty() && transfer->pending.size() + bytes > kHeldAheadBytes) {
        transfer->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer->pending.append(data, bytes);
    return bytes;
}

bool isWebScheme(CURLU* url) {
    char* scheme = nullptr;
    if (curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
    const bool ok = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
    curl_free(scheme);
    return ok;
}

bool configure(UrlTransfer& t, const SessionInfo& session, uint32_t flags) {
    CURL* e = t.easy;
    bool ok = curl_easy_setopt(e, CURLOPT_CURLU, t.url) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_USERAGENT, session.agent.c_str()) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds) == CURLE_OK;
    // The receive timeout: a transfer that gets no byte for that long (less
    // than one byte a second over it), waiting for the response or inside
    // the body, ends with a timeout.
    ok &= curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, receiveTimeoutSeconds()) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_WRITEDATA, &t) == CURLE_OK;

    switch (session.access) {
        case AccessType::Direct:
            ok &= curl_easy_setopt(e, CURLOPT_PROXY, "") == CURLE_OK;
            break;
        case AccessType::Proxy: {
            // The proxy serves every address: no bypass list, not even the
            // one in the environment.
            const std::string proxy(trimSpaces(session.proxy));
            ok &= curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
            ok &= curl_easy_setopt(e, CURLOPT_NOPROXY, "") == CURLE_OK;
            break;
        }
        case AccessType::Preconfig:
            break;  // libcurl reads the proxy environment variables itself
    }

    // libcurl keeps no cache, so the reload and no-cache-write flags hold by
    // construction. The chain is always verified; the host name only unless
    // the caller accepts a mismatch.
    ok &= curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    const long verifyHost = (flags & kFlagIgnoreCertCnInvalid) ? 0L : 2L;
    ok &= curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, verifyHost) == CURLE_OK;
    if (const char* bundle = std::getenv("ORV_CA_BUNDLE"); bundle && *bundle) {
        ok &= curl_easy_setopt(e, CURLOPT_CAINFO, bundle) == CURLE_OK;
        ok &= curl_easy_setopt(e, CURLOPT_CAPATH, nullptr) == CURLE_OK;
    }
    return ok;
}

}  // namespace

int32_t openSession(std::string_view agent, AccessType access, std::string_view proxy) {
    auto session = std::make_shared<Session>();
    session->info.agent = std::string(agent);
    session->info.access = access;
    if (access == AccessType::Proxy) {
        std::string kept(proxy.substr(0, kProxyTextLength));
        kept.resize(kProxyTextLength, ' ');
        if (trimSpaces(kept).empty()) return 0;
        session->info.proxy = std::move(kept);
    } else if (access != AccessType::Direct && access != AccessType::Preconfig) {
        return 0;
    }
    initialiseCurl();
    return addHandle(std::move(session));
}

int32_t openUrl(int32_t sessionHandle, std::string_view url, uint32_t flags) {
    failureReason().clear();
    const auto refuse = [](const char* why) {
        failureReason() = why;
        return 0;
    };
    const auto session = findSession<Session>(sessionHandle);
    if (!session) return refuse("no such session");
    const std::string address(trimSpaces(url));
    if (address.empty() || address.find('\0') != std::string::npos)
        return refuse("malformed address");

    auto transfer = std::make_shared<UrlTransfer>();
    UrlTransfer& t = *transfer;
    t.url = curl_url();
    t.easy = curl_easy_init();
    t.multi = curl_multi_init();
    if (!t.url || !t.easy || !t.multi) return refuse("out of memory");
    // No scheme guessing: an address without "http://" or "https://" is
    // malformed, as it is for the Windows internet API.
    if (curl_url_set(t.url, CURLUPART_URL, address.c_str(), 0) != CURLUE_OK)
        return refuse("malformed address");
    if (!isWebScheme(t.url)) return refuse("not an http or https address");
    if (!configure(t, session->info, flags)) return refuse("the request could not be set up");
    if (curl_multi_add_handle(t.multi, t.easy) != CURLM_OK)
        return refuse("the request could not be set up");
    t.attached = true;

    t.pump();
    if (t.done && t.result != CURLE_OK && t.unread() == 0) {
        failureReason() = describeFailure(t.result, t.errorText);
        return 0;
    }
    return addHandle(std::move(transfer));
}

bool readUrl(int32_t handle, char* buffer, size_t size, size_t& bytesRead) {
    bytesRead = 0;
    failureReason().clear();
    const auto transfer = findTransfer<UrlTransfer>(handle);
    if (!transfer) return false;
    std::lock_guard guard(transfer->lock);
    UrlTransfer& t = *transfer;
    // Like a synchronous read of the Windows internet API: wait until the
    // buffer is full or the body has ended.
    while (bytesRead < size) {
        t.pump();
        const size_t n = std::min(size - bytesRead, t.unread());
        if (n == 0) break;
        std::memcpy(buffer + bytesRead, t.pending.data() + t.readPos, n);
        t.readPos += n;
        bytesRead += n;
    }
    t.delivered += static_cast<int64_t>(bytesRead);
    if (bytesRead == 0 && t.result != CURLE_OK) {
        failureReason() = describeFailure(t.result, t.errorText);
        return false;
    }
    return true;
}

std::optional<int64_t> announcedLength(TransferBase& transfer) {
    curl_off_t length = -1;
    if (curl_easy_getinfo(static_cast<UrlTransfer&>(transfer).easy,
                          CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0)
        return std::nullopt;
    return static_cast<int64_t>(length);
}

}  // namespace orv::platform::inet
