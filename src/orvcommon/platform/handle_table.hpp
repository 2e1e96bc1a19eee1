// The process-wide table of the internet handles that callers hold: numbers
// from 1 up, each naming one object of one of the backend's kinds (a session,
// a transfer), shared so that a call in flight keeps its object alive while
// another thread closes the handle.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace orv::platform::inet {

template <class... Kinds>
class HandleTableOf {
  public:
    using Entry = std::variant<std::shared_ptr<Kinds>...>;

    int32_t add(Entry entry) {
        std::lock_guard guard(lock_);
        for (;;) {
            const int32_t handle = next_;
            next_ = next_ == INT32_MAX ? 1 : next_ + 1;
            if (entries_.emplace(handle, entry).second) return handle;
        }
    }
    template <class T>
    std::shared_ptr<T> find(int32_t handle) {
        std::lock_guard guard(lock_);
        auto it = entries_.find(handle);
        if (it == entries_.end()) return nullptr;
        auto* found = std::get_if<std::shared_ptr<T>>(&it->second);
        return found ? *found : nullptr;
    }
    bool remove(int32_t handle) {
        Entry removed;
        std::lock_guard guard(lock_);
        auto it = entries_.find(handle);
        if (it == entries_.end()) return false;
        removed = std::move(it->second);  // destroyed after the lock is released
        entries_.erase(it);
        return true;
    }
    size_t size() {
        std::lock_guard guard(lock_);
        return entries_.size();
    }

  private:
    std::mutex lock_;
    std::unordered_map<int32_t, Entry> entries_;
    int32_t next_ = 1;
};

}  // namespace orv::platform::inet
