#pragma once
// Runs a piece of a test on a thread of its own, as the program's workers run it, and waits for it. A test's own
// thread is the GUI thread of the program it builds, which never waits on an exchange (platform/Checks.h); what a
// worker does in the program, a test does through this.

#include <thread>
#include <type_traits>
#include <utility>

namespace qv::test {

template <typename Fn>
auto onWorker(Fn&& fn) {
  using Result = std::invoke_result_t<Fn&>;
  if constexpr (std::is_void_v<Result>) {
    std::thread worker([&] { fn(); });
    worker.join();
  } else {
    Result result{};
    std::thread worker([&] { result = fn(); });
    worker.join();
    return result;
  }
}

}  // namespace qv::test
