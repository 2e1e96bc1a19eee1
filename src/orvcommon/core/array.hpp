// Arrays with bounds, like automation safe arrays: none, one or two
// dimensions, each with its own lower and upper bound. Elements are stored
// with the first index varying fastest, so resizing the last dimension while
// keeping the content (`redimPreserve`) is a plain resize of the storage.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "orvcommon/base/errors.hpp"

namespace orv {

struct Bounds {
    int32_t lower = 0;
    int32_t upper = -1;
    int64_t count() const { return upper >= lower ? int64_t{upper} - lower + 1 : 0; }
};

template <class T>
class Array {
  public:
    Array() = default;
    explicit Array(Bounds d1) { redim(d1); }
    Array(Bounds d1, Bounds d2) { redim(d1, d2); }

    // Number of dimensions: 0 for an array that was never dimensioned.
    int dims() const { return static_cast<int>(dims_.size()); }
    bool dimensioned() const { return !dims_.empty(); }

    // Bounds of dimension `dim` (1-based); run-time error 9 if it has none.
    int32_t lbound(int dim = 1) const { return bounds(dim).lower; }
    int32_t ubound(int dim = 1) const { return bounds(dim).upper; }
    const Bounds& bounds(int dim) const {
        if (dim < 1 || dim > dims()) raise(err::kSubscriptOutOfRange);
        return dims_[static_cast<size_t>(dim - 1)];
    }

    // New dimensions; every element starts as T{}.
    void redim(Bounds d1) { reset({d1}); }
    void redim(Bounds d1, Bounds d2) { reset({d1, d2}); }

    // Changes the upper bound of the last dimension, keeping the elements
    // that remain in range. Growth is amortised (std::vector's geometric
    // growth), so adding one element at a time stays linear.
    void redimPreserve(int32_t newUpper) {
        if (dims_.empty()) raise(err::kSubscriptOutOfRange);
        Bounds& last = dims_.back();
        Bounds next{last.lower, newUpper};
        if (!valid(next)) raise(err::kSubscriptOutOfRange);
        int64_t inner = 1;
        for (size_t i = 0; i + 1 < dims_.size(); ++i)
            inner *= dims_[i].count();
        const int64_t total = inner * next.count();
        if (total > kMostElements) raise(err::kOutOfMemory);
        data_.resize(static_cast<size_t>(total));
        last = next;
    }

    // Removes all dimensions (automation Erase of a dynamic array).
    void erase() {
        dims_.clear();
        data_.clear();
    }

    size_t size() const { return data_.size(); }

    T& at(int32_t i) { return data_[offset1(i)]; }
    const T& at(int32_t i) const { return data_[offset1(i)]; }
    T& at(int32_t i, int32_t j) { return data_[offset2(i, j)]; }
    const T& at(int32_t i, int32_t j) const { return data_[offset2(i, j)]; }

    // The elements in storage order, first index fastest. Elements may be
    // changed through the span; the count changes only with the bounds
    // (redim, redimPreserve, erase).
    std::span<T> elements() { return data_; }
    std::span<const T> elements() const { return data_; }
    // The storage itself, to read (and compare) only.
    const std::vector<T>& storage() const { return data_; }
    // Room for `n` elements ahead of a redimPreserve that will need it.
    void reserve(size_t n) { data_.reserve(n); }
    size_t capacity() const { return data_.capacity(); }

    friend bool operator==(const Array& a, const Array& b) {
        if (a.dims_.size() != b.dims_.size()) return false;
        for (size_t i = 0; i < a.dims_.size(); ++i)
            if (a.dims_[i].lower != b.dims_[i].lower || a.dims_[i].upper != b.dims_[i].upper)
                return false;
        return a.data_ == b.data_;
    }

  private:
    // The most elements an array holds: 2 GB of them, all the memory an
    // automation host's process has; more is error 7, before any is taken.
    static constexpr int64_t kMostElements = (int64_t{1} << 31) / int64_t{sizeof(T)};
    // A dimension may be empty (upper one below lower), never less.
    static bool valid(const Bounds& b) { return int64_t{b.upper} >= int64_t{b.lower} - 1; }

    void reset(std::vector<Bounds> dims) {
        int64_t total = 1;
        for (const Bounds& b : dims) {
            if (!valid(b)) raise(err::kSubscriptOutOfRange);
            total *= b.count();
            if (total > kMostElements) raise(err::kOutOfMemory);
        }
        dims_ = std::move(dims);
        data_.assign(static_cast<size_t>(total), T{});
    }
    size_t offset1(int32_t i) const {
        if (dims_.size() != 1) raise(err::kSubscriptOutOfRange);
        const Bounds& b = dims_[0];
        if (i < b.lower || i > b.upper) raise(err::kSubscriptOutOfRange);
        return static_cast<size_t>(int64_t{i} - b.lower);
    }
    size_t offset2(int32_t i, int32_t j) const {
        if (dims_.size() != 2) raise(err::kSubscriptOutOfRange);
        const Bounds& a = dims_[0];
        const Bounds& b = dims_[1];
        if (i < a.lower || i > a.upper || j < b.lower || j > b.upper)
            raise(err::kSubscriptOutOfRange);
        return static_cast<size_t>((int64_t{i} - a.lower) + (int64_t{j} - b.lower) * a.count());
    }

    std::vector<Bounds> dims_;
    std::vector<T> data_;
};

}  // namespace orv
