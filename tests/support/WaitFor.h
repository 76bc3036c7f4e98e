#pragma once
// Waits, on the test's own thread, until what a worker does has happened: polled every millisecond of real time,
// given up after 30 s.

#include <chrono>
#include <functional>
#include <thread>

namespace qv::test {

inline bool waitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace qv::test
