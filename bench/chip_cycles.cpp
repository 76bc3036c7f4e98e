// The UR96 and the CAN monitoring cycle of the whole program (no display) over the libftdi backend and the emulated
// FT232H (real libftdi and libusb, umockdev's usbdevfs node, the chip's latency timer), against the same cycle over
// the simulated adapter, with real waits. The cycle is the time between two of the loop's own queries as the pack
// sees them. Beside each, the CPU the whole process takes meanwhile: over the chip that includes the chip's own
// emulation and umockdev's ioctl round trips (a socket exchange per ioctl, where the kernel's usbfs needs none),
// so it is an upper bound of what a real adapter costs.
//
//   bench_chip_cycles [seconds of monitoring per loop and adapter]     (default 20)

#include "BenchTable.h"
#include "QueryStamps.h"
#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Backends.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"
#include "usbchip/EmulatedFt232h.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qv;

using bench::Stamps;

// The UR96 pack, with the moment of each record query noted.
class StampedPack : public sim::SerialPack {
 public:
  StampedPack(std::shared_ptr<sim::SerialPack> inner, Stamps& stamps) : inner_(std::move(inner)), stamps_(stamps) {}
  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    if (payload == QByteArray("&\r\n")) stamps_.add();
    return inner_->answer(payload, expected);
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
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
  int protocol;
  const char* mode;  // panel 1 once found
};

struct Result {
  double cycleMs = 0;
  size_t cycles = 0;
  double cpuPercent = 0;
  bool found = false;
};

double processCpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The message loop runs until the condition holds (looked at every millisecond) or the time is up.
bool pumpUntil(const std::function<bool()>& done, int64_t ms) {
  const int64_t end = platform::monotonicMs() + ms;
  while (!done()) {
    if (platform::monotonicMs() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

Result measure(const Loop& loop, bool overChip, int seconds) {
  Stamps stamps;
  std::unique_ptr<sim::SimDriver> simDriver = sim::makeSimDriver(loop.setup);
  const std::shared_ptr<sim::SimAdapter> serial = simDriver->adapters().at(0);
  if (loop.protocol == link::kProtocolCan) {
    serial->setCanNode(std::make_shared<StampedNode>(serial->canNode(), stamps));
  } else {
    serial->setPack(std::make_shared<StampedPack>(serial->pack(), stamps));
  }
  std::unique_ptr<test::EmulatedFt232h> chip;
  std::unique_ptr<platform::Driver> driver;
  if (overChip) {
    chip = std::make_unique<test::EmulatedFt232h>(serial);
    driver = platform::makeLibftdiDriver();
  } else {
    driver = std::move(simDriver);
  }
  Result r;
  {
    app::ServiceTool tool(std::move(driver));
    Controls& c = tool.services.controls;
    c.setItemIndex(link::ctl::RadioGroup_Protocol, loop.protocol);
    tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
    tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
    pumpUntil([&] { return tool.services.workers.running() == 0; }, 20000);
    c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
    tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
    tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);

    tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    r.found = pumpUntil([&] { return c.panel(mainwindow::ctl::StatusBarView, 1) == QLatin1String(loop.mode); }, 20000);
    if (r.found) {
      pumpUntil([] { return false; }, 1000);  // past detection and the first cycles
      const size_t from = stamps.all().size();
      const double cpu0 = processCpuMs();
      const int64_t wall0 = platform::monotonicMs();
      pumpUntil([] { return false; }, 1000LL * seconds);
      r.cpuPercent = 100.0 * (processCpuMs() - cpu0) / static_cast<double>(platform::monotonicMs() - wall0);
      const std::vector<int64_t> at = stamps.all();
      if (at.size() > from + 1) {
        r.cycles = at.size() - from - 1;
        r.cycleMs = static_cast<double>(at.back() - at[from]) / static_cast<double>(r.cycles);
      }
    }
    tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
    pumpUntil([&] { return tool.services.workers.running() == 0; }, 20000);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
  // A real chip adds its latency timer and the bus to each exchange; the emulated one adds umockdev's ioctl round
  // trips to every write and read besides.
  constexpr double kTarget = 1.10;
  const Loop loops[] = {
      {"UR96", "ur96", link::kProtocolUr, " UR96 Mode "},
      {"CAN", "can", link::kProtocolCan, " CAN Mode "},
  };
  std::printf("%-6s %14s %12s %7s %12s %12s\n", "loop", "FT232H ms", "sim ms", "ratio", "FT232H CPU", "sim CPU");
  bool within = true;
  for (const Loop& l : loops) {
    const Result sim = measure(l, false, seconds);
    const Result chip = measure(l, true, seconds);
    if (!sim.found || !chip.found || sim.cycleMs <= 0 || chip.cycleMs <= 0) {
      std::printf("%-6s not found (%s)\n", l.name, !chip.found ? "over the FT232H" : "over the simulated adapter");
      within = false;
      continue;
    }
    const double ratio = chip.cycleMs / sim.cycleMs;
    std::printf("%-6s %14.1f %12.1f %7.3f %11.2f%% %11.2f%%  (%zu and %zu cycles)\n", l.name, chip.cycleMs, sim.cycleMs,
                ratio, chip.cpuPercent, sim.cpuPercent, chip.cycles, sim.cycles);
    bench::tableRow(std::string(l.name) + " cycle, FT232H", bench::fixed(chip.cycleMs, 1) + " ms",
                    "sim " + bench::fixed(sim.cycleMs, 1) + " ms", bench::fixed(ratio, 3),
                    "<= " + bench::fixed(kTarget, 2),
                    bench::fixed(chip.cpuPercent, 2) + " % (sim " + bench::fixed(sim.cpuPercent, 2) + " %)");
    within = within && ratio <= kTarget;
  }
  return within ? 0 : 1;
}
