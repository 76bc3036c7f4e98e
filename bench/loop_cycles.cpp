// Each monitoring loop of the composed program over the simulated packs, with real waits: the cycle (the time
// between two of the loop's own queries as the pack sees them) and the detection (RUN to the mode text) against
// the fixed sleeps each makes, as a ratio; and the process's CPU time per second of monitoring (the simulated
// adapter and pack run in the same process, on the reading thread, so this is an upper bound).
//
//   bench_loop_cycles [seconds per loop]     (default 8)

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qv;

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

// The serial pack, with the moment of each query of the loop's kind noted.
class StampedPack : public sim::SerialPack {
 public:
  StampedPack(std::shared_ptr<sim::SerialPack> inner, QByteArray query, Stamps& stamps)
      : inner_(std::move(inner)), query_(std::move(query)), stamps_(stamps) {}
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    if (payload.startsWith(query_)) stamps_.add();
    return inner_->answer(payload, expected);
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  QByteArray query_;
  Stamps& stamps_;
};

// The CAN pack, with the moment of each first cell request (0x1001, index 1) noted.
class StampedNode : public sim::CanNode {
 public:
  StampedNode(std::shared_ptr<sim::CanNode> inner, Stamps& stamps) : inner_(std::move(inner)), stamps_(stamps) {}
  void receive(const sim::CanFrame& f, std::vector<sim::CanFrame>& out) override {
    if (f.id == 0x440 && f.data[0] == 0x10 && f.data[1] == 0x01 && f.data[2] == 0 && f.data[3] == 1) stamps_.add();
    inner_->receive(f, out);
  }
  void tick(int64_t nowMs, std::vector<sim::CanFrame>& out) override { inner_->tick(nowMs, out); }

 private:
  std::shared_ptr<sim::CanNode> inner_;
  Stamps& stamps_;
};

struct Loop {
  const char* name;
  const char* setup;
  const char* mode;     // panel 1 once found
  QByteArray query;     // the loop's query payload (empty: CAN)
  double sleepsMs;      // the fixed sleeps of one cycle
  double probeSleepsMs; // the fixed sleeps of the detection up to this variant's probe
};

struct Result {
  double cycleMs = 0;
  double detectMs = 0;
  double cpuPercent = 0;
  size_t cycles = 0;
};

Result measure(const Loop& loop, int seconds) {
  Stamps stamps;
  std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver(loop.setup);
  const std::shared_ptr<sim::SimAdapter> adapter = driver->adapters().at(0);
  if (loop.query.isEmpty()) {
    adapter->setCanNode(std::make_shared<StampedNode>(adapter->canNode(), stamps));
  } else {
    adapter->setPack(std::make_shared<StampedPack>(adapter->pack(), loop.query, stamps));
  }
  app::ServiceTool tool(std::move(driver));
  Controls& c = tool.services.controls;
  const int protocol = loop.query.isEmpty() ? 1 : 0;
  c.setItemIndex(link::ctl::RadioGroup_Protocol, protocol);
  tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  tool.services.workers.joinAll();
  c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);

  Result r;
  const int64_t start = platform::monotonicMs();
  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  while (c.panel(mainwindow::ctl::StatusBarView, 1) != QLatin1String(loop.mode)) {
    if (platform::monotonicMs() - start > 20000) {
      std::fprintf(stderr, "%s: not found\n", loop.name);
      return r;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  r.detectMs = static_cast<double>(platform::monotonicMs() - start);

  // Monitoring settles for a second, then runs for the time asked.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::clock_t cpu0 = std::clock();
  const int64_t wall0 = platform::monotonicMs();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
  const double wallMs = static_cast<double>(platform::monotonicMs() - wall0);
  r.cpuPercent = 100.0 * cpuMs / wallMs;
  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  tool.stopWorkers();

  std::vector<int64_t> at = stamps.all();
  // Past the probe and the first cycle.
  std::vector<double> periods;
  for (size_t i = 2; i < at.size(); ++i) periods.push_back(static_cast<double>(at[i] - at[i - 1]));
  if (!periods.empty()) {
    std::sort(periods.begin(), periods.end());
    r.cycleMs = std::accumulate(periods.begin(), periods.end(), 0.0) / static_cast<double>(periods.size());
  }
  r.cycles = periods.size();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 8;
  // The sleeps: UR74 500 (query, 500, read); UR96 150 + 50 + 4 x 50 + 50 and the shipping-mode read's 20; UR2
  // 200 + 100 + 13 x 50 + 50 and the clock read's 100; CAN 16 requests of 1 + 5, the first receive's 5 and the
  // 10 after the shipping-mode read (whose answer is there at its first look). Detection: the probes' 100 ms
  // each and the waits after the failed ones.
  const Loop loops[] = {
      {"UR74", "ur74", " UR74 Mode ", QByteArray("X"), 500, 100},
      {"UR96", "ur96", " UR96 Mode ", QByteArray("&\r\n"), 470, 3 * (100 + 80) + 100},
      {"UR2", "ur2", " UR2 Mode ", QByteArray(), 1100, 3 * (100 + 80) + 3 * (100 + 90) + 100},
      {"CAN", "can", " CAN Mode ", QByteArray(), 111, 0},
  };
  std::printf("%-5s %10s %10s %7s %12s %10s %7s %9s\n", "loop", "cycle ms", "sleeps ms", "ratio", "detect ms",
              "sleeps ms", "ratio", "CPU %");
  for (const Loop& loop : loops) {
    Loop l = loop;
    if (std::string(l.name) == "UR2") {
      l.query = QByteArray::fromHex("4000011001000100000000");  // the first cell request, (0x1001, 1)
    }
    const Result r = measure(l, seconds);
    const bool can = l.query.isEmpty();
    std::printf("%-5s %10.1f %10.0f %7.3f ", l.name, r.cycleMs, l.sleepsMs, r.cycleMs / l.sleepsMs);
    if (can) {
      std::printf("%12s %10s %7s ", "-", "-", "-");
    } else {
      std::printf("%12.0f %10.0f %7.3f ", r.detectMs, l.probeSleepsMs, r.detectMs / l.probeSleepsMs);
    }
    std::printf("%9.2f   (%zu cycles)\n", r.cpuPercent, r.cycles);
  }
  return 0;
}
