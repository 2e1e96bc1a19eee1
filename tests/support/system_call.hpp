// Test support: replaces one entry of the system-call table for a scope, and
// catches the messages sent to the event log.
#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/system_calls.hpp"

namespace orv::test {

// Puts `replacement` in place of the entry `name` while it lives, then
// returns the one it found (so scopes nest). The replacement must have the
// entry's signature; a captureless lambda will do.
class ReplacedCall {
  public:
    template <class R, class... A>
    ReplacedCall(const char* name, R (*replacement)(A...))
        : name_(name), previous_(platform::systemCall(name)) {
        if (!platform::setSystemCall(name, reinterpret_cast<platform::SystemCall>(replacement)))
            throw std::invalid_argument(std::string("no system call named ") + name);
    }
    template <class F>
    ReplacedCall(const char* name, F replacement) : ReplacedCall(name, +replacement) {}
    ~ReplacedCall() { platform::setSystemCall(name_, previous_); }
    ReplacedCall(const ReplacedCall&) = delete;
    ReplacedCall& operator=(const ReplacedCall&) = delete;

  private:
    const char* name_;
    platform::SystemCall previous_;
};

// The messages written to the event log while it lives (one capture at a time).
class EventLogCapture {
  public:
    EventLogCapture() { current() = this; }
    ~EventLogCapture() { current() = nullptr; }

    std::vector<Text> messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

  private:
    static EventLogCapture*& current() {
        static EventLogCapture* capture = nullptr;
        return capture;
    }
    static void record(TextView message) {
        EventLogCapture* c = current();
        if (!c) return;
        std::lock_guard<std::mutex> lock(c->mutex_);
        c->messages_.emplace_back(message);
    }

    mutable std::mutex mutex_;
    std::vector<Text> messages_;
    ReplacedCall call_{"eventlog", &record};
};

}  // namespace orv::test
