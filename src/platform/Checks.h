#pragma once
// The concurrency rules, checked where they can be broken:
// - no widget call off the GUI thread (the display checks each flush and each request it serves);
// - no exchange wait and no fixed sleep on the GUI thread (Link::exchange(), sleepMs());
// - no Yes/No box or other GUI request while this thread holds the exchange lock or the store's lock
//   (Services::gui());
// - store rules take no other lock (Link::exchange() under the store's lock).
//
// With QV_CHECKS defined (every build that has the tests, and every Debug build) a broken rule stops the program
// at once, naming the rule and the place; without it the checks compile to nothing. What the checks count (the
// locks this thread holds, which thread is the GUI thread) is kept either way: it costs a counter.

#include <thread>

namespace qv::platform::checks {

// The locks the rules watch.
enum class Lock { Exchange, Store };

// Counts a lock as held by this thread while it lives; nests.
class Holding {
 public:
  explicit Holding(Lock lock);
  ~Holding();
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;

 private:
  Lock lock_;
};

// True while this thread holds the lock.
bool holds(Lock lock);

// The thread that runs the windows, named by whoever builds them (the composition) for as long as they live;
// before that, and after, no thread is the GUI thread and nothing is checked against it.
class GuiThreadScope {
 public:
  // The calling thread is the GUI thread until this is destroyed; the GUI thread named before comes back then.
  GuiThreadScope();
  ~GuiThreadScope();
  GuiThreadScope(const GuiThreadScope&) = delete;
  GuiThreadScope& operator=(const GuiThreadScope&) = delete;

 private:
  std::thread::id previous_;
};

bool onGuiThread();

// Where the GUI thread may wait for a while (closing the program, joining its workers): sleepMs() is allowed
// there for as long as this lives.
class GuiWaitAllowed {
 public:
  GuiWaitAllowed();
  ~GuiWaitAllowed();
  GuiWaitAllowed(const GuiWaitAllowed&) = delete;
  GuiWaitAllowed& operator=(const GuiWaitAllowed&) = delete;
};

bool guiWaitAllowed();

// Reports the broken rule on stderr and aborts.
[[noreturn]] void broken(const char* rule, const char* file, int line);

}  // namespace qv::platform::checks

#if defined(QV_CHECKS)
#define QV_CHECK(condition, rule) \
  ((condition) ? static_cast<void>(0) : ::qv::platform::checks::broken(rule, __FILE__, __LINE__))
#else
#define QV_CHECK(condition, rule) static_cast<void>(0)
#endif
