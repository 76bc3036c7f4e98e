#pragma once
// The one owner of the program's worker threads. A worker is started and left to run, as each starter wants;
// it is joined when the program closes (joinAll), so no worker outlives what it writes.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qv::platform {

class Workers {
 public:
  Workers() = default;
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  ~Workers();

  // Starts fn on a new thread. An exception that leaves fn ends only that worker (it is never rethrown). When
  // no thread can be made, std::system_error comes out here and nothing counts as started.
  void start(std::string name, std::function<void()> fn);
  // Waits for every worker started so far, and for those they start meanwhile.
  void joinAll();
  // Workers that have not finished yet, with the given name (or any, for an empty name).
  int running(const std::string& name = {}) const;

 private:
  struct Worker {
    std::string name;
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void reapFinished();  // lock held

  mutable std::mutex mutex_;
  std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace qv::platform
