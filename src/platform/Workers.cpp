#include "platform/Workers.h"

#include <sys/prctl.h>

#include <cstdio>
#include <exception>
#include <vector>

namespace qv::platform {

Workers::~Workers() { joinAll(); }

void Workers::start(std::string name, std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  reapFinished();
  workers_.push_back(std::make_unique<Worker>());
  Worker* w = workers_.back().get();
  w->name = std::move(name);
  try {
    w->thread = std::thread([w, fn = std::move(fn)] {
      // A worker's waits are the protocol's pace, and a CAN cycle is eighteen of them: the kernel's default
      // slack of 50 us a wake-up would stretch each cycle by most of a millisecond.
      prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
      // Named as started (the kernel keeps 15 characters): a stack dump or a per-thread CPU figure says which
      // worker it is.
      prctl(PR_SET_NAME, w->name.substr(0, 15).c_str(), 0UL, 0UL, 0UL);
      try {
        fn();
      } catch (const std::exception& e) {
        std::fprintf(stderr, "worker %s ended by an exception: %s\n", w->name.c_str(), e.what());
      } catch (...) {
        std::fprintf(stderr, "worker %s ended by an exception\n", w->name.c_str());
      }
      w->done.store(true);
    });
  } catch (...) {
    // No thread: an entry left behind would count as running for ever, and a close would wait for it.
    workers_.pop_back();
    throw;
  }
}

void Workers::reapFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->done.load()) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void Workers::joinAll() {
  for (;;) {
    std::vector<std::unique_ptr<Worker>> taken;
    {
      std::lock_guard lock(mutex_);
      if (workers_.empty()) return;
      for (auto& w : workers_) taken.push_back(std::move(w));
      workers_.clear();
    }
    for (auto& w : taken) {
      if (w->thread.joinable()) w->thread.join();
    }
  }
}

int Workers::running(const std::string& name) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& w : workers_) {
    if (!w->done.load() && (name.empty() || w->name == name)) ++n;
  }
  return n;
}

}  // namespace qv::platform
