#pragma once
// Runs a test with every program wait compressed, and gives the normal scale back afterwards.

#include "platform/Time.h"

namespace qv::test {

class ScopedTimeScale {
 public:
  explicit ScopedTimeScale(double scale) : previous_(platform::timeScale()) { platform::setTimeScale(scale); }
  ~ScopedTimeScale() { platform::setTimeScale(previous_); }
  ScopedTimeScale(const ScopedTimeScale&) = delete;
  ScopedTimeScale& operator=(const ScopedTimeScale&) = delete;

 private:
  double previous_;
};

}  // namespace qv::test
