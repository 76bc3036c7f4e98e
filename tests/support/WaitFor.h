#pragma once
// Waits, on the test's own thread, until what a worker does has happened: polled every millisecond of real time,
// given up after 30 s.

#include <QCoreApplication>

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

// The same on the GUI thread, its pending events handled before each look: for what reaches a widget or a timer
// through the event loop, which a fixed stretch of processing misses on a loaded machine.
inline bool waitForProcessingEvents(const std::function<bool()>& done) {
  return waitFor([&] {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
  });
}

}  // namespace qv::test
