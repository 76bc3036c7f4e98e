#include "platform/Time.h"

#include "platform/Checks.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace qv::platform {
namespace {

std::atomic<double> g_scale{1.0};

struct FixedClock {
  std::mutex mutex;
  QDateTime start;  // null: the system clock
  std::chrono::steady_clock::time_point setAt;
};

FixedClock& fixedClock() {
  static FixedClock clock;
  return clock;
}

}  // namespace

void setTimeScale(double scale) { g_scale.store(scale > 0 ? scale : 1.0); }
double timeScale() { return g_scale.load(); }

std::chrono::nanoseconds scaled(int64_t ms) {
  if (ms <= 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<int64_t>(static_cast<double>(ms) * 1e6 * g_scale.load()));
}

void sleepMs(int64_t ms) {
  QV_CHECK(ms <= 0 || !checks::onGuiThread() || checks::guiWaitAllowed(), "no fixed sleep on the GUI thread");
  const auto d = scaled(ms);
  if (d.count() > 0) std::this_thread::sleep_for(d);
}

QDateTime now() {
  FixedClock& clock = fixedClock();
  std::lock_guard lock(clock.mutex);
  if (clock.start.isNull()) return QDateTime::currentDateTime();
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - clock.setAt);
  return clock.start.addMSecs(elapsed.count());
}

void setFixedNow(const QDateTime& start) {
  FixedClock& clock = fixedClock();
  std::lock_guard lock(clock.mutex);
  clock.start = start;
  clock.setAt = std::chrono::steady_clock::now();
}

int64_t monotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace qv::platform
