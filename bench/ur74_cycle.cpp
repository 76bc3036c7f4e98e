// The UR74 poll cycle over the simulated UR74 pack, with real waits: the time between two poll queries as the
// pack sees them, against the cycle's fixed wait of 500 ms. What lies above 1.0 is the cost of the exchange
// itself: mostly the read, which asks for 312 bytes of an 82-byte reply and so returns at its time-out, then the
// write, the decode, the display and the sleeps overshooting.
//
//   bench_ur74_cycle [cycles]     (default 20)

#include "link/ConfigFormControls.h"
#include "link/Link.h"
#include "link/Unit2ConfigForm.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/PackDispatcher.h"
#include "platform/Services.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using namespace qv;

constexpr double kFixedWaitMs = 500.0;

// The pack of the set-up, with the moment of each poll query noted.
class StampedPack : public sim::SerialPack {
 public:
  explicit StampedPack(std::shared_ptr<sim::SerialPack> inner) : inner_(std::move(inner)) {}

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    if (payload == "X") {
      std::lock_guard lock(mutex_);
      stamps_.push_back(platform::monotonicMs());
    }
    return inner_->answer(payload, expected);
  }
  std::vector<int64_t> stamps() const {
    std::lock_guard lock(mutex_);
    return stamps_;
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  mutable std::mutex mutex_;
  std::vector<int64_t> stamps_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int cycles = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;

  std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver("ur74");
  const std::shared_ptr<sim::SimAdapter> adapter = driver->adapters().at(0);
  const auto pack = std::make_shared<StampedPack>(adapter->pack());
  adapter->setPack(pack);

  platform::Services services(std::move(driver));
  link::Link link(services, mainwindow::kLinkControls);
  mainwindow::MainState state;
  mainwindow::PackDispatcher dispatcher(services.controls, state);
  link.setPackMessageSink(&dispatcher);
  mainwindow::Monitor monitor(services, link, state);
  {
    link::TFormConfig config(link);
    services.controls.setItemIndex(qv::link::ctl::RadioGroup_Protocol, 0);
    config.onEvent(qv::link::ctl::RadioGroup_Protocol, UiEvent::Click);
    config.onEvent(qv::link::ctl::SpdBtnSCAN, UiEvent::Click);
    services.workers.joinAll();
    services.controls.setItemIndex(qv::link::ctl::CobBoxInterfaceName, 0);
    config.onEvent(qv::link::ctl::SpdBtnYES, UiEvent::Click);
  }
  services.controls.setText(qv::mainwindow::ctl::SpdBtnRUN, QStringLiteral("RUN"));

  monitor.SpdBtnRUNClick();
  // The probe's query, then one per cycle.
  while (static_cast<int>(pack->stamps().size()) < 1 + cycles + 1) {
    if (!state.RunFlag.running()) {
      std::fprintf(stderr, "the run ended: %s\n",
                   qPrintable(services.controls.panel(qv::mainwindow::ctl::StatusBarView, 1)));
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  monitor.SpdBtnRUNClick();
  services.workers.joinAll();

  const std::vector<int64_t> stamps = pack->stamps();
  std::vector<double> periods;
  for (size_t i = 2; i < stamps.size(); ++i) periods.push_back(static_cast<double>(stamps[i] - stamps[i - 1]));
  const double mean = std::accumulate(periods.begin(), periods.end(), 0.0) / static_cast<double>(periods.size());
  const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
  std::printf("UR74 poll cycle over %zu cycles: mean %.1f ms (min %.0f, max %.0f); fixed wait %.0f ms; ratio %.3f\n",
              periods.size(), mean, *low, *high, kFixedWaitMs, mean / kFixedWaitMs);
  return 0;
}
