// Each monitoring loop of the windowed program (its display offscreen) over the simulated packs, with real
// waits: the cycle (the time between two of the loop's own queries as the pack sees them) and the detection
// (RUN to the mode text) against the fixed sleeps each makes, as a ratio; then, over the monitoring time asked
// (a minute by default), the CPU the process takes (all of it, and the GUI thread's own share), and the GUI
// thread's longest stall over a tenth of that time before it. The CAN loop runs twice: against the pack as the
// simulator makes it, and against a pack whose broadcasts fill the bus with 2,000 frames a second. The simulated
// adapter and pack run in the same process, on the monitoring thread: the pack's own work (timed inside it) is
// given apart and taken out of the program's figure, the adapter's is not, so that figure is an upper bound;
// beside it, what the loop's fixed sleeps cost by themselves on this machine (a wake-up is far from free on a
// virtual one).
//
// A probe of a variant that does not answer waits its read time-out (100 ms) for the answer that does not come;
// no answer says "none", so detection cannot be faster than the sleeps and those time-outs. Likewise a CAN
// cycle's first receive, which takes whatever has come during the last cycle's closing 10 ms: where no broadcast
// is waiting it waits its 1 ms read time-out for one. Both ratios are given: against the sleeps alone and
// against the sleeps and those time-outs.
//
//   QT_QPA_PLATFORM=offscreen bench_loop_cycles [seconds of monitoring per loop [loop]]     (default 60, all)

#include "BenchTable.h"
#include "QueryStamps.h"
#include "StallProbe.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace qv;

using bench::Stamps;

// The CPU the simulated pack spends making its answers and broadcasts, on whichever thread calls it: a real pack
// does that work itself, so it is taken out of the program's figure. (The simulated adapter's own work is not: the
// program's figure stays an upper bound.)
class PackCpu {
 public:
  class Scope {
   public:
    explicit Scope(PackCpu& cpu) : cpu_(cpu), start_(now()) {}
    ~Scope() { cpu_.ns_ += now() - start_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    static int64_t now() {
      timespec t{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
      return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    PackCpu& cpu_;
    int64_t start_;
  };
  double ms() const { return static_cast<double>(ns_.load()) / 1e6; }

 private:
  std::atomic<int64_t> ns_{0};
};

// The serial pack, with the moment of each query of the loop's kind noted.
class StampedPack : public sim::SerialPack {
 public:
  StampedPack(std::shared_ptr<sim::SerialPack> inner, QByteArray query, Stamps& stamps, PackCpu& cpu)
      : inner_(std::move(inner)), query_(std::move(query)), stamps_(stamps), cpu_(cpu) {}
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    const PackCpu::Scope work(cpu_);
    if (payload.startsWith(query_)) stamps_.add();
    return inner_->answer(payload, expected);
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  QByteArray query_;
  Stamps& stamps_;
  PackCpu& cpu_;
};

// The CAN pack, with the moment of each first cell request (0x1001, index 1) noted.
class StampedNode : public sim::CanNode {
 public:
  StampedNode(std::shared_ptr<sim::CanNode> inner, Stamps& stamps, PackCpu& cpu)
      : inner_(std::move(inner)), stamps_(stamps), cpu_(cpu) {}
  void receive(const sim::CanFrame& f, std::vector<sim::CanFrame>& out) override {
    const PackCpu::Scope work(cpu_);
    if (f.id == 0x440 && f.data[0] == 0x10 && f.data[1] == 0x01 && f.data[2] == 0 && f.data[3] == 1) stamps_.add();
    inner_->receive(f, out);
  }
  void tick(int64_t nowMs, std::vector<sim::CanFrame>& out) override {
    const PackCpu::Scope work(cpu_);
    inner_->tick(nowMs, out);
  }

 private:
  std::shared_ptr<sim::CanNode> inner_;
  Stamps& stamps_;
  PackCpu& cpu_;
};

struct Loop {
  const char* name;
  const char* setup;
  const char* mode;        // panel 1 once found
  QByteArray query;        // the loop's query payload (empty: CAN)
  double sleepsMs;         // the fixed sleeps of one cycle
  double probeSleepsMs;    // the fixed sleeps of the detection up to this variant's probe
  int silentProbes;        // the probes before it that wait their read time-out
  double cpuTarget;        // percent of a core
  int busFramesPerSecond;  // CAN: the pack's broadcasts fill the bus so (0: the simulator's pack as it is)
  int sleepsPerCycle;      // how many sleeps make up those fixed waits
  double cycleTimeoutsMs;  // the read time-outs a cycle may wait for what does not come
};

constexpr double kCycleTarget = 1.02;
constexpr double kDetectTarget = 1.05;
constexpr double kProbeTimeoutMs = 100;
constexpr double kStallTargetMs = 20;

struct Result {
  double cycleMs = 0;
  double detectMs = 0;
  double cpuPercent = 0;
  double packCpuPercent = 0;  // of it, the simulated pack's own work
  double guiCpuPercent = 0;
  double stallMs = 0;
  double framesPerSecond = 0;
  size_t cycles = 0;
};

// The CPU time the calling thread has had, in nanoseconds (0 where the system does not tell).
double threadCpuNs() {
  std::ifstream stat("/proc/thread-self/schedstat");
  double ns = 0;
  stat >> ns;
  return ns;
}

// What one sleep of a few milliseconds costs this machine in CPU (microseconds): the wake-up, the timer. On a
// virtual machine it is far from nothing, and a loop's fixed sleeps alone cost that many times their number.
double sleepCostUs() {
  const double cpu0 = threadCpuNs();
  constexpr int kSleeps = 200;
  for (int i = 0; i < kSleeps; ++i) platform::sleepMs(i % 2 == 0 ? 1 : 5);
  return (threadCpuNs() - cpu0) / 1000.0 / kSleeps;
}

// The message loop runs (and idles, as the program's own does) until the condition holds, looked at every
// millisecond, or for a time.
void pump(const std::function<bool()>& until) {
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (until()) loop.quit();
  });
  look.start(1);
  if (!until()) loop.exec();
}

void pumpFor(int64_t ms) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
  loop.exec();
}

Result measure(const Loop& loop, int seconds, bench::StallProbe& probe) {
  Stamps stamps;
  PackCpu packCpu;
  std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver(loop.setup);
  const std::shared_ptr<sim::SimAdapter> adapter = driver->adapters().at(0);
  std::shared_ptr<sim::CanPack> canPack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
  if (loop.busFramesPerSecond > 0 && canPack) {
    // Four broadcasts a round; rounds due while nobody read come all the same, as the adapter holds them.
    canPack->setBroadcastPeriod(4000 / loop.busFramesPerSecond);
    sim::CanPackFaults busy;
    busy.busyBus = true;
    canPack->setFaults(busy);
  }
  if (loop.query.isEmpty()) {
    adapter->setCanNode(std::make_shared<StampedNode>(adapter->canNode(), stamps, packCpu));
  } else {
    adapter->setPack(std::make_shared<StampedPack>(adapter->pack(), loop.query, stamps, packCpu));
  }
  app::WindowedTool program(std::move(driver));
  program.showMainWindow();
  app::ServiceTool& tool = program.tool;
  Controls& c = tool.services.controls;
  c.setItemIndex(link::ctl::RadioGroup_Protocol, loop.query.isEmpty() ? link::kProtocolCan : link::kProtocolUr);
  tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  pump([&] { return tool.services.workers.running() == 0; });
  c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
  pumpFor(100);

  Result r;
  const int64_t start = platform::monotonicMs();
  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  pump([&] {
    return c.panel(mainwindow::ctl::StatusBarView, 1) == QLatin1String(loop.mode) ||
           platform::monotonicMs() - start > 20000;
  });
  if (c.panel(mainwindow::ctl::StatusBarView, 1) != QLatin1String(loop.mode)) {
    std::fprintf(stderr, "%s: not found\n", loop.name);
    return r;
  }
  r.detectMs = static_cast<double>(platform::monotonicMs() - start);

  // Monitoring settles for a second; the GUI thread's stalls are noted for a tenth of the time asked, its CPU
  // over the whole of it (without the probe's ticks).
  pumpFor(1000);
  probe.start();
  pumpFor(std::max<int64_t>(2000, 100LL * seconds));
  r.stallMs = probe.stop();
  const int64_t frames0 = canPack ? canPack->framesSent() : 0;
  const std::clock_t cpu0 = std::clock();
  const double pack0 = packCpu.ms();
  const double gui0 = threadCpuNs();
  const int64_t wall0 = platform::monotonicMs();
  pumpFor(1000LL * seconds);
  const double wallMs = static_cast<double>(platform::monotonicMs() - wall0);
  r.cpuPercent = 100.0 * (1000.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC) / wallMs;
  r.guiCpuPercent = 100.0 * ((threadCpuNs() - gui0) / 1e6) / wallMs;
  r.packCpuPercent = 100.0 * (packCpu.ms() - pack0) / wallMs;
  if (canPack) r.framesPerSecond = static_cast<double>(canPack->framesSent() - frames0) * 1000.0 / wallMs;
  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  pump([&] { return tool.services.workers.running() == 0; });

  std::vector<int64_t> at = stamps.all();
  // Past the probe and the first cycle.
  std::vector<double> periods;
  for (size_t i = 2; i < at.size(); ++i) periods.push_back(static_cast<double>(at[i] - at[i - 1]));
  if (!periods.empty()) {
    r.cycleMs = std::accumulate(periods.begin(), periods.end(), 0.0) / static_cast<double>(periods.size());
  }
  r.cycles = periods.size();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
  bench::StallProbe probe;
  // The sleeps: UR74 500 (query, 500, read); UR96 150 + 50 + 4 x 50 + 50 and the shipping-mode read's 20; UR2
  // 200 + 100 + 13 x 50 + 50 and the clock read's 100; CAN 16 requests of 1 + 5, the first receive's 5 and the
  // 10 after the shipping-mode read (whose answer is there at its first look). Detection: the probes' 100 ms
  // each and the waits after the failed ones.
  const Loop loops[] = {
      {"UR74", "ur74", " UR74 Mode ", QByteArray("X"), 500, 100, 0, 0.5, 0, 1, 0},
      {"UR96", "ur96", " UR96 Mode ", QByteArray("&\r\n"), 470, 3 * (100 + 80) + 100, 3, 0.5, 0, 8, 0},
      {"UR2", "ur2", " UR2 Mode ", QByteArray::fromHex("4000011001000100000000"), 1100,
       3 * (100 + 80) + 3 * (100 + 90) + 100, 6, 0.5, 0, 17, 0},
      {"CAN", "can", " CAN Mode ", QByteArray(), 111, 0, 0, 1.5, 0, 18, 1},
      {"CAN 2000/s", "can", " CAN Mode ", QByteArray(), 111, 0, 0, 1.5, 2000, 18, 0},
  };
  const double sleepUs = sleepCostUs();
  std::printf("one sleep costs this machine %.1f us of CPU\n", sleepUs);
  std::printf("%-10s %9s %9s %6s %9s %9s %6s %7s %6s %9s %6s %8s %8s %s\n", "loop", "cycle ms", "sleeps", "ratio",
              "detect", "sleeps", "ratio", "CPU %", "pack %", "program %", "GUI %", "sleeps %", "stall ms", "");
  bool within = true;
  for (const Loop& l : loops) {
    if (argc > 2 && std::string(argv[2]) != l.name) continue;
    const Result r = measure(l, seconds, probe);
    const double cycleRatio = r.cycleMs / l.sleepsMs;
    const double cycleWaitsRatio = r.cycleMs / (l.sleepsMs + l.cycleTimeoutsMs);
    const double detectSleeps = l.probeSleepsMs + l.silentProbes * kProbeTimeoutMs;
    std::printf("%-10s %9.1f %9.0f %6.3f ", l.name, r.cycleMs, l.sleepsMs, cycleRatio);
    if (l.probeSleepsMs > 0) {
      std::printf("%9.0f %9.0f %6.3f ", r.detectMs, detectSleeps, r.detectMs / detectSleeps);
    } else {
      std::printf("%9s %9s %6s ", "-", "-", "-");
    }
    // The CPU the loop's fixed sleeps cost by themselves on this machine.
    const double sleepsPercent = r.cycleMs > 0 ? 100.0 * l.sleepsPerCycle * sleepUs / 1000.0 / r.cycleMs : 0;
    const double programPercent = r.cpuPercent - r.packCpuPercent;
    std::printf("%7.2f %6.2f %9.2f %6.2f %8.2f %8.1f (%zu cycles", r.cpuPercent, r.packCpuPercent, programPercent,
                r.guiCpuPercent, sleepsPercent, r.stallMs, r.cycles);
    if (l.busFramesPerSecond > 0) std::printf(", the pack sent %.0f frames/s", r.framesPerSecond);
    if (l.cycleTimeoutsMs > 0) {
      std::printf(", %.3f of the sleeps and a %.0f ms time-out", cycleWaitsRatio, l.cycleTimeoutsMs);
    }
    std::printf(")\n");

    const std::string cpu = bench::fixed(programPercent, 2) + " % < " + bench::fixed(l.cpuTarget, 1) +
                            " % (with the pack " + bench::fixed(r.cpuPercent, 2) + " %; GUI " +
                            bench::fixed(r.guiCpuPercent, 2) + " %, sleeps " + bench::fixed(sleepsPercent, 2) + " %)";
    const std::string name = l.name;
    bench::tableRow(name + " cycle", bench::fixed(r.cycleMs, 1) + " ms", bench::fixed(l.sleepsMs, 0) + " ms",
                    bench::fixed(cycleRatio, 3), "<= " + bench::fixed(kCycleTarget, 2), cpu);
    if (l.cycleTimeoutsMs > 0) {
      bench::tableRow(name + " cycle + time-out", bench::fixed(r.cycleMs, 1) + " ms",
                      bench::fixed(l.sleepsMs, 0) + " ms + " + bench::fixed(l.cycleTimeoutsMs, 0) + " ms",
                      bench::fixed(cycleWaitsRatio, 3), "<= " + bench::fixed(kCycleTarget, 2), "-");
    }
    if (l.probeSleepsMs > 0) {
      bench::tableRow(name + " detection", bench::fixed(r.detectMs, 0) + " ms",
                      bench::fixed(l.probeSleepsMs, 0) + " ms + " + std::to_string(l.silentProbes) + " time-outs",
                      bench::fixed(r.detectMs / detectSleeps, 3), "<= " + bench::fixed(kDetectTarget, 2), "-");
    }
    bench::tableRow(name + " GUI stall", bench::fixed(r.stallMs, 1) + " ms", "-", "-",
                    "< " + bench::fixed(kStallTargetMs, 0) + " ms", "-");
    within = within && programPercent < l.cpuTarget && r.stallMs < kStallTargetMs;
  }
  return within ? 0 : 1;
}
