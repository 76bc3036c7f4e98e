#pragma once
// The moments a loop's queries reached the simulated pack, noted from whichever thread the pack answers on.

#include "platform/Time.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::bench {

class Stamps {
 public:
  void add() {
    std::lock_guard lock(mutex_);
    at_.push_back(platform::monotonicMs());
  }
  std::vector<int64_t> all() const {
    std::lock_guard lock(mutex_);
    return at_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<int64_t> at_;
};

}  // namespace qv::bench
