#pragma once
// A value that several threads read and write, each access whole under one lock.

#include <mutex>
#include <utility>

namespace qv {

template <typename T>
class Guarded {
 public:
  Guarded() = default;
  explicit Guarded(T value) : value_(std::move(value)) {}

  // Runs fn on the value under the lock and returns what fn returns.
  template <typename Fn>
  decltype(auto) with(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return std::forward<Fn>(fn)(value_);
  }
  template <typename Fn>
  decltype(auto) with(Fn&& fn) const {
    std::lock_guard lock(mutex_);
    return std::forward<Fn>(fn)(value_);
  }

  T snapshot() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

}  // namespace qv
