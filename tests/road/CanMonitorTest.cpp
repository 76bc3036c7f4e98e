// CAN monitoring over the simulated CAN pack through the CAN dispatcher: a minute of simulated traffic with the
// monitoring cycle's requests, the pack's broadcasts, a change of the pack's values half-way and the program's
// barcode read now and then beside monitoring. Every frame the pack sent is dispatched, the display shows the
// broadcasts and answers as the pack has them, and every read learns of all its parts.

#include "commands/CanBarcodeCommands.h"
#include "link/CanLayer.h"
#include "link/ConfigFormControls.h"
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
#include <thread>

namespace qv {
namespace {

struct Request {
  uint16_t command, index;
};

// The shipping-mode read that closes each monitoring cycle, standing in for the command the composition installs.
constexpr Request kShippingMode[] = {{0x200B, 0}};

// Counts what reaches the dispatcher.
class CountingSink : public link::CanFrameSink {
 public:
  explicit CountingSink(link::CanFrameSink& next) : next_(next) {}
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    ++frames;
    next_.DispatchCanFrame(flag, id, data, length);
  }
  std::atomic<int64_t> frames{0};

 private:
  link::CanFrameSink& next_;
};

class CanMonitorRoad : public ::testing::Test {
 protected:
  CanMonitorRoad() {
    auto adapter = driver->adapters().front();
    pack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
    platform::FtHandle h = 0;
    EXPECT_EQ(driver->OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    driver->SetTimeouts(h, 1, 1);
    link.AdapterHandle = h;
    link.setCanFrameSink(&sink);
    link.setCanAnswerFlags(&can.ackFlags());
    services.controls.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
    services.controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, "500");
    monitor.hooks.ResetCanCellCount = [this] { can.ResetCellCount(); };
    monitor.hooks.ReadShippingModeCan = [this] { ask(kShippingMode); };
  }

  // Each request one step under the exchange lock: request, 1 ms, receive.
  template <size_t N>
  void ask(const Request (&list)[N]) {
    for (const Request& r : list) {
      const auto lock = link.exchange();
      link::CanSendRequest(link, r.command, r.index, {0, 0, 0}, 0);
      platform::sleepMs(1);
      link::CanReceiveDispatchAny(link);
    }
  }
  // One cycle of the monitoring's own loop: receive, identity, the cells from a count of 0, the values, the
  // shipping mode.
  void cycle() {
    state.RunFlag.set(1);
    monitor.CanCycle();
  }

  // The program's barcode read, on the run's adapter and the dispatcher's answer flags; true when every part was
  // accepted.
  bool readBarcode32() {
    const link::CanSessionScope session(link);
    return commands::CanReadBarcode32(link, state);
  }

  QString text(Control name) const { return services.controls.text(name); }

  test::ScopedTimeScale fast{0.02};
  sim::SimDriver* driver = sim::makeSimDriver("can").release();
  platform::Services services{std::unique_ptr<platform::Driver>(driver)};
  link::Link link{services, mainwindow::kLinkControls};
  // The windows' entries, in the state of a store nothing has written yet.
  const bool declared_ = (test::declareBareMainWindows(services.controls), true);
  mainwindow::MainState state;
  mainwindow::PackDispatcher packDispatcher{services.controls, state};
  mainwindow::CanDispatcher can{services.controls, state, packDispatcher};
  CountingSink sink{can};
  mainwindow::Monitor monitor{services, link, state};
  std::shared_ptr<sim::CanPack> pack;
};

TEST_F(CanMonitorRoad, AMinuteOfTrafficIsShownWholeAndNothingIsLost) {
  ASSERT_NE(pack, nullptr);
  const auto adapter = driver->adapters().front();
  constexpr int64_t kMinute = 60000;

  std::atomic<bool> stop{false};
  std::atomic<int> cycles{0};
  std::thread monitoring([&] {
    while (!stop) {
      cycle();
      ++cycles;
    }
  });

  // A barcode read now and then beside monitoring; half-way the pack's values change.
  int reads = 0, readsWhole = 0;
  bool changed = false;
  sim::CanPackState later = pack->state();
  later.packVoltage = 41000;
  later.packCurrent = 2500;
  later.statusRegister = 0x0241;
  later.soh = 90;
  later.cells[0] = 3250;
  later.cells[12] = 3390;
  later.clock = {24, 12, 31, 23, 59, 59};
  later.cycleCount = 58;
  later.modelName = "QVX52-14S4P-B002";
  // A simulated minute, and at least three cycles in it however slowly a loaded machine runs them (bounded in
  // real time, so that a monitoring that stops fails the count instead of hanging the test).
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while ((adapter->nowMs() < kMinute || cycles < 3) && std::chrono::steady_clock::now() < giveUp) {
    if (!changed && adapter->nowMs() >= kMinute / 2) {
      pack->setState(later);
      changed = true;
    }
    readsWhole += readBarcode32() ? 1 : 0;
    ++reads;
    EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "QV32BC24050700000000000000000001");
    platform::sleepMs(500);
  }
  stop = true;
  monitoring.join();
  EXPECT_GE(cycles, 3);
  EXPECT_EQ(readsWhole, reads);

  // What is still on its way is read to the end, and a last cycle shows the later values whole.
  cycle();
  pack->setBroadcastPeriod(0);
  for (int idle = 0; idle < 20;) idle = link::CanReceiveDispatchAll(link) ? 0 : idle + 1;
  EXPECT_EQ(sink.frames.load(), pack->framesSent());
  EXPECT_EQ(link.canReceiver.carried(), 0);
  EXPECT_EQ(can.lastAnswerHeader().status, 1);  // every header's data came after it

  // Broadcasts.
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackVoltage), "41000");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackCurrent), "2500");
  EXPECT_EQ(services.controls.color(mainwindow::ctl::Edit400hASR1Bit9COV), colour::Red);
  EXPECT_EQ(services.controls.color(mainwindow::ctl::Edit400hASR1Bit2CHGFET), colour::Silver);
  EXPECT_EQ(services.controls.color(mainwindow::ctl::Edit400hCRBit0Approval), colour::Lime);
  EXPECT_EQ(text(mainwindow::ctl::EditRSOC), "80");
  EXPECT_EQ(text(mainwindow::ctl::EditASOC), "90");
  EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOH_Capacity), "450");
  EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOC_Wh), "360");
  // Answers.
  EXPECT_EQ(text(mainwindow::ctl::Edit_ModelName), "QVX52-14S4P-B002");
  EXPECT_EQ(text(mainwindow::ctl::Edit_FWVer), "1.12");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell1), "3250");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell7), "3306");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell13), "3390");
  EXPECT_EQ(text(mainwindow::ctl::Edit_HVlot), "3390");
  EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), "3250");
  EXPECT_EQ(text(mainwindow::ctl::Edit_VoltDiff), "140");
  EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2024.12.31  23:59:59");
  EXPECT_EQ(text(mainwindow::ctl::Edit_CycleCount), "58");
  EXPECT_EQ(text(mainwindow::ctl::EditT1), "25");
  EXPECT_EQ(text(mainwindow::ctl::Edit_CellSeries), "13");
  EXPECT_EQ(text(mainwindow::ctl::EditDesignVoltage), "46800");
  EXPECT_EQ(text(mainwindow::ctl::EditDesignCapacity), "10400");
  EXPECT_EQ(text(mainwindow::ctl::EditFullChargeCapacity), "9615");
  EXPECT_EQ(text(mainwindow::ctl::CheckBox_ShippingModeReadOnly), "Disabled");
  EXPECT_EQ(state.records.EVT_TEST.snapshot().PackRtcDate, 20241231);
  const auto cells = state.records.CellVoltArray.snapshot();
  EXPECT_EQ(cells.nonZeroCount, 13);
  EXPECT_EQ(cells.volts[12], 3390);
}

}  // namespace
}  // namespace qv
