#pragma once
// The GUI thread's longest stall: a 1 ms timer on it notes the longest gap between two of its ticks (the longest
// the message loop was kept from running) while a measurement runs.

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace qv::bench {

class StallProbe {
 public:
  StallProbe() {
    ticker_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker_, &QTimer::timeout, [this] {
      if (measuring_) longestMs_ = std::max(longestMs_, static_cast<double>(sinceTick_.nsecsElapsed()) / 1e6);
      sinceTick_.restart();
    });
  }
  // From now on, with nothing noted yet. The timer runs only while measuring: its ticks are work of their own.
  void start() {
    longestMs_ = 0;
    sinceTick_.restart();
    measuring_ = true;
    ticker_.start(1);
  }
  // The longest gap since start().
  double stop() {
    measuring_ = false;
    ticker_.stop();
    return longestMs_;
  }

 private:
  QTimer ticker_;
  QElapsedTimer sinceTick_;
  double longestMs_ = 0;
  bool measuring_ = false;
};

}  // namespace qv::bench
