// CAN monitoring over a link that corrupts frames and over a busy bus, through the program's CAN dispatcher:
// with every fifth frame damaged on its way, no box ever shows a value the pack did not send for it; on a bus
// of 2,000 broadcasts a second the bit-rate check passes at its first query and no broadcast is lost.

#include "commands/CanBitRate.h"
#include "link/CanLayer.h"
#include "link/Link.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/PackDispatcher.h"
#include "platform/Time.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/BareStore.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>

namespace qv {
namespace {

namespace ctl = mainwindow::ctl;

// Counts the frames that reach the dispatcher, and passes the losses on.
class CountingSink : public link::CanFrameSink {
 public:
  explicit CountingSink(link::CanFrameSink& next) : next_(next) {}
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    ++frames;
    next_.DispatchCanFrame(flag, id, data, length);
  }
  void CanFramesLost() override { next_.CanFramesLost(); }
  std::atomic<int64_t> frames{0};

 private:
  link::CanFrameSink& next_;
};

// Every text each watched box was given, in order.
class ShownValues {
 public:
  ShownValues(Controls& controls, std::initializer_list<Control> boxes) {
    for (Control box : boxes) {
      controls.onTextChanged(box, [this, box](Controls&, const QString& text) {
        std::lock_guard lock(mutex_);
        if (recording_) shown_[box].insert(text);
      });
    }
  }
  void record(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
  }
  std::map<Control, std::set<QString>> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(shown_, {});
  }

 private:
  std::mutex mutex_;
  bool recording_ = false;
  std::map<Control, std::set<QString>> shown_;
};

class CanFaultsRoad : public ::testing::Test {
 protected:
  CanFaultsRoad() {
    adapter = driver->adapters().front();
    pack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
    platform::FtHandle h = 0;
    EXPECT_EQ(driver->OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    driver->SetTimeouts(h, 1, 1);
    link.AdapterHandle = h;
    link.setCanFrameSink(&sink);
    monitor.hooks.ResetCanCellCount = [this] { can.ResetCellCount(); };
  }

  void cycles(int n) {
    state.RunFlag.set(1);
    for (int i = 0; i < n; ++i) monitor.CanCycle();
  }
  // With the broadcasts paused, reads what is still on its way, until several receives in a row bring nothing.
  void drain(int64_t broadcastPeriodMs) {
    pack->setBroadcastPeriod(0);
    for (int idle = 0; idle < 20;) {
      const auto lock = link.exchange();
      idle = link::CanReceiveDispatchAll(link) ? 0 : idle + 1;
    }
    pack->setBroadcastPeriod(broadcastPeriodMs);
  }
  QString text(Control name) const { return services.controls.text(name); }

  test::ScopedTimeScale fast{0.02};
  sim::SimDriver* driver = sim::makeSimDriver("can").release();
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  const bool declared_ = (test::declareBareMainWindows(services.controls), true);
  mainwindow::MainState state;
  mainwindow::PackDispatcher packDispatcher{services.controls, state};
  mainwindow::CanDispatcher can{services.controls, state, packDispatcher};
  CountingSink sink{can};
  mainwindow::Monitor monitor{services, link, state};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::shared_ptr<sim::CanPack> pack;
};

// The values the pack sends are learnt over clean cycles first (the texts each box takes on the way to them
// included); a minute of monitoring with every fifth frame damaged may then show nothing else in any box.
TEST_F(CanFaultsRoad, DamagedFramesNeverShowAnotherAnswersBytes) {
  ASSERT_NE(pack, nullptr);
  // clang-format off
  ShownValues shown(services.controls,
                    {ctl::EditVCell1, ctl::EditVCell2, ctl::EditVCell3, ctl::EditVCell4, ctl::EditVCell5,
                     ctl::EditVCell6, ctl::EditVCell7, ctl::EditVCell8, ctl::EditVCell9, ctl::EditVCell10,
                     ctl::EditVCell11, ctl::EditVCell12, ctl::EditVCell13, ctl::Edit_CycleCount,
                     ctl::EditDesignCapacity, ctl::EditDesignVoltage, ctl::EditFullChargeCapacity, ctl::EditRTC,
                     ctl::Edit_FWVer, ctl::Edit_ModelName, ctl::Edit_CellSeries, ctl::EditT1,
                     ctl::Edit401hPackVoltage, ctl::Edit401hPackCurrent, ctl::EditRSOC, ctl::EditASOC});
  // clang-format on
  shown.record(true);
  cycles(3);
  drain(200);
  const std::map<Control, std::set<QString>> sent = shown.take();
  EXPECT_EQ(sent.at(ctl::EditVCell5), std::set<QString>{"3304"});

  sim::Faults faults;
  faults.canCorruptEvery = 5;
  adapter->setFaults(faults);
  const int64_t end = adapter->nowMs() + 60000;
  int n = 0;
  // At least 20 cycles, however slowly a loaded machine runs them, bounded in real time.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while ((adapter->nowMs() < end || n < 20) && std::chrono::steady_clock::now() < giveUp) {
    cycles(1);
    ++n;
  }
  drain(0);
  for (const auto& [box, texts] : shown.take()) {
    const auto learnt = sent.find(box);
    for (const QString& t : texts) {
      EXPECT_TRUE(learnt != sent.end() && learnt->second.contains(t)) << box << " showed " << t.toStdString();
    }
  }
  EXPECT_GE(n, 20);
  // The frames damaged really were lost, and answers still came through.
  EXPECT_LT(sink.frames.load(), pack->framesSent());
  EXPECT_EQ(text(ctl::EditVCell13), "3312");
}

// A bus that carried 2,000 broadcasts a second before the run began: the bit-rate check reads the adapter's
// reply among them at its first query and sets nothing, and every broadcast reaches the dispatcher.
TEST_F(CanFaultsRoad, ABusyBusPassesTheBitRateCheckAtOnceAndLosesNoBroadcast) {
  ASSERT_NE(pack, nullptr);
  test::ScopedTimeScale realTime(1.0);
  sim::CanPackFaults busy;
  busy.busyBus = true;
  busy.burst = 5;  // four broadcasts a round
  pack->setFaults(busy);
  pack->setBroadcastPeriod(10);
  {
    const auto lock = link.exchange();
    link::CanReceiveDispatch(link);  // the bus's first look
  }
  platform::sleepMs(65);  // about 130 broadcasts wait
  adapter->clearWritten();

  bool passed = false;
  {
    const auto lock = link.exchange();
    passed = commands::CheckCanBitRate(link, 250000);
  }
  EXPECT_TRUE(passed);
  EXPECT_EQ(services.controls.panel(ctl::StatusBarView, 2), " Baud Rate  : < 250000 bps >");
  const std::vector<QByteArray> written = adapter->written();
  ASSERT_EQ(written.size(), 1u) << "one query, no set";
  EXPECT_EQ(written[0].left(4), QByteArray("\x55\xAA\x01\x09", 4));

  cycles(2);
  drain(0);
  EXPECT_GE(pack->framesSent(), 130);
  EXPECT_EQ(sink.frames.load(), pack->framesSent());
  EXPECT_EQ(link.canReceiver.carried(), 0);
  EXPECT_EQ(text(ctl::Edit401hPackVoltage), "42900");
}

}  // namespace
}  // namespace qv
