// The one shape in which a platform call answers: a value, or the run-time
// error number (from the error list) that says why there is none. Never a
// guessed number: a failure always carries the number its cause maps to.
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

#include "orvcommon/base/errors.hpp"

namespace orv {

// A failed call's run-time error number, and the system's own code it was
// mapped from (errno on POSIX, GetLastError on Windows; 0 when no system call
// failed). Callers see the number; the system code is there for a test or a
// debugger that must tell apart causes with one number (a full disk and a
// full quota are both 61).
struct Failure {
    int32_t number;
    int64_t systemCode;
    constexpr Failure(int32_t n, int64_t system = 0) : number(n), systemCode(system) {}  // NOLINT
};

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
    Result(Failure f) : v_(std::in_place_index<1>, f) {}               // NOLINT

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    template <class U>
    T valueOr(U&& fallback) const& {
        return ok() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    // The run-time error number; 0 when the call succeeded.
    int32_t error() const { return ok() ? 0 : std::get<1>(v_).number; }
    // The system's own code behind the error; 0 when there is none.
    int64_t systemError() const { return ok() ? 0 : std::get<1>(v_).systemCode; }
    // The failure as it is, to hand on to a result of another type.
    Failure failure() const { return Failure{error(), systemError()}; }
    // Raises the error as a run-time error when the call failed.
    T& orRaise() & {
        if (!ok()) raise(error());
        return value();
    }
    T&& orRaise() && {
        if (!ok()) raise(error());
        return std::move(*this).value();
    }

  private:
    std::variant<T, Failure> v_;
};

// A call that gives back nothing but success or its error number.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure f) : error_(f.number), system_(f.systemCode) {}  // NOLINT: implicit by design

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    int32_t error() const { return error_; }
    int64_t systemError() const { return system_; }
    Failure failure() const { return Failure{error_, system_}; }
    void orRaise() const {
        if (!ok()) raise(error_);
    }

  private:
    int32_t error_ = 0;
    int64_t system_ = 0;
};

using Status = Result<void>;

}  // namespace orv
