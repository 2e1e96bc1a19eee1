// Private to platform/: what the internet backends share, kept once in
// inet_common.cpp: the handle table with the parts of a session and of a
// transfer that every backend has, the receive timeout in force and the
// reason of the thread's last failure. A backend derives its own session and
// transfer from these and gives announcedLength.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "orvcommon/platform/handle_table.hpp"
#include "orvcommon/platform/inet.hpp"

namespace orv::platform::inet {

struct SessionBase {
    SessionInfo info;
    virtual ~SessionBase() = default;
};

struct TransferBase {
    std::mutex lock;
    int64_t delivered = 0;  // body bytes handed to the reader
    TransferBase() = default;
    TransferBase(const TransferBase&) = delete;
    TransferBase& operator=(const TransferBase&) = delete;
    virtual ~TransferBase() = default;
};

using HandleTable = HandleTableOf<SessionBase, TransferBase>;
HandleTable& table();
// A new handle for a session or a transfer.
int32_t addHandle(HandleTable::Entry entry);

// The session or transfer under `handle`, or nullptr; as the backend's own
// kind, which every object in the table is.
std::shared_ptr<SessionBase> sessionAt(int32_t handle);
std::shared_ptr<TransferBase> transferAt(int32_t handle);
template <class Session>
std::shared_ptr<Session> findSession(int32_t handle) {
    return std::static_pointer_cast<Session>(sessionAt(handle));
}
template <class Transfer>
std::shared_ptr<Transfer> findTransfer(int32_t handle) {
    return std::static_pointer_cast<Transfer>(transferAt(handle));
}

// The receive timeout for URLs opened now, in seconds.
long receiveTimeoutSeconds();
// Why the last open or read of this thread failed (lastFailureReason).
std::string& failureReason();
// `s` without leading and trailing spaces.
std::string_view trimSpaces(std::string_view s);

// The backend's: the body length the server announced for `transfer`
// (whose lock the caller holds), nullopt when it announced none.
std::optional<int64_t> announcedLength(TransferBase& transfer);

}  // namespace orv::platform::inet
