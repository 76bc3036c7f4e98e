#include "platform/Checks.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace qv::platform::checks {
namespace {

thread_local int t_exchangeHeld = 0;
thread_local int t_storeHeld = 0;
thread_local int t_guiWaitAllowed = 0;

std::atomic<std::thread::id> g_guiThread{};

int& counter(Lock lock) { return lock == Lock::Exchange ? t_exchangeHeld : t_storeHeld; }

}  // namespace

Holding::Holding(Lock lock) : lock_(lock) { ++counter(lock_); }
Holding::~Holding() { --counter(lock_); }

bool holds(Lock lock) { return counter(lock) > 0; }

GuiThreadScope::GuiThreadScope() : previous_(g_guiThread.exchange(std::this_thread::get_id())) {}
GuiThreadScope::~GuiThreadScope() { g_guiThread.store(previous_); }

bool onGuiThread() { return g_guiThread.load() == std::this_thread::get_id(); }

GuiWaitAllowed::GuiWaitAllowed() { ++t_guiWaitAllowed; }
GuiWaitAllowed::~GuiWaitAllowed() { --t_guiWaitAllowed; }

bool guiWaitAllowed() { return t_guiWaitAllowed > 0; }

void broken(const char* rule, const char* file, int line) {
  std::fprintf(stderr, "concurrency rule broken: %s (%s:%d)\n", rule, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace qv::platform::checks
