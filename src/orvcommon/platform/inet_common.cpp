// The part of the internet service that is the same over every backend: the
// handles, what a session keeps, how much of a body is left, the settings
// for tests.
#include "orvcommon/platform/inet_common.hpp"

#include <algorithm>
#include <atomic>

#include "orvcommon/platform/threads.hpp"

namespace orv::platform::inet {
namespace {

std::atomic<long> gReceiveTimeoutSeconds{kReceiveTimeoutSeconds};

struct LastFailure {
    std::string reason;
};

}  // namespace

HandleTable& table() {
    static HandleTable* instance = new HandleTable;  // outlives every static user
    return *instance;
}

int32_t addHandle(HandleTable::Entry entry) {
    return table().add(std::move(entry));
}

std::shared_ptr<SessionBase> sessionAt(int32_t handle) {
    return table().find<SessionBase>(handle);
}

std::shared_ptr<TransferBase> transferAt(int32_t handle) {
    return table().find<TransferBase>(handle);
}

long receiveTimeoutSeconds() {
    return gReceiveTimeoutSeconds.load();
}

std::string& failureReason() {
    return perThread<LastFailure>().reason;
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::optional<int64_t> remainingLength(int32_t handle) {
    const auto transfer = transferAt(handle);
    if (!transfer) return std::nullopt;
    std::lock_guard guard(transfer->lock);
    const std::optional<int64_t> announced = announcedLength(*transfer);
    if (!announced) return std::nullopt;
    return std::max<int64_t>(0, *announced - transfer->delivered);
}

bool closeHandle(int32_t handle) {
    return table().remove(handle);
}

std::optional<SessionInfo> describeSession(int32_t handle) {
    const auto session = sessionAt(handle);
    if (!session) return std::nullopt;
    return session->info;
}

const std::string& lastFailureReason() {
    return failureReason();
}

void setReceiveTimeoutForTesting(std::optional<long> seconds) {
    gReceiveTimeoutSeconds = seconds.value_or(kReceiveTimeoutSeconds);
}

size_t openHandleCount() {
    return table().size();
}

}  // namespace orv::platform::inet
