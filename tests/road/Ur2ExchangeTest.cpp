// UR2 exchanges on a worker over the simulated UR2 pack: the monitoring's own poll cycle (its requests, each
// request, wait, read, dispatch) fills the display from the first cycle on, two hundred cycles leave the firmware id as
// it was, a corrupted or refused answer changes nothing, and a write is acknowledged.

#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/PackDispatcher.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/BareStore.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <utility>

namespace qv {
namespace {

using Request = std::pair<uint16_t, uint16_t>;

// Counts the answers the readers accept on their way to the dispatcher.
class CountingSink : public link::PackMessageSink {
 public:
  explicit CountingSink(link::PackMessageSink& next) : next_(next) {}
  void DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override {
    ++accepted;
    next_.DispatchPackMessage(id, index, data);
  }
  std::atomic<int> accepted{0};

 private:
  link::PackMessageSink& next_;
};

class Ur2Exchange : public ::testing::Test {
 protected:
  Ur2Exchange() : services_(makeDriver()), link_(services_, mainwindow::kLinkControls) {
    test::declareBareMainWindows(services_.controls);
    platform::FtHandle h = 0;
    EXPECT_EQ(services_.driver().OpenByLocation(adapter_->record().locId, &h), platform::FT_OK);
    services_.driver().SetTimeouts(h, 100, 50);
    link_.AdapterHandle = h;
    link_.setPackMessageSink(&sink_);
  }
  ~Ur2Exchange() override { services_.workers.joinAll(); }

  std::unique_ptr<platform::Driver> makeDriver() {
    auto driver = sim::makeSimDriver("ur2");
    adapter_ = driver->adapters().at(0);
    pack_ = std::dynamic_pointer_cast<sim::Ur2Pack>(adapter_->pack());
    return driver;
  }

  // One read exchange under the exchange lock, as the poll loop makes it; true when the answer was accepted.
  bool request(Request r) {
    auto lock = link_.exchange();
    link::SendPackCommand(link_, r.first, r.second, {0, 0, 0}, 0);
    platform::sleepMs(50);
    return link::ReceivePackMessage(link_);
  }

  // Runs fn on a worker, as monitoring and the commands do, and waits for it.
  void onWorker(std::function<void()> fn) {
    services_.workers.start("ur2", std::move(fn));
    services_.workers.joinAll();
  }

  // The answers accepted in that many of the monitoring's UR2 cycles (nine requests, then the four cells).
  int pollCycles(int cycles) {
    const int before = sink_.accepted;
    state_.RunFlag.set(1);
    onWorker([&] {
      for (int c = 0; c < cycles; ++c) monitor_.Ur2Cycle();
    });
    state_.RunFlag.set(0);
    return sink_.accepted - before;
  }

  QString text(Control name) const { return services_.controls.text(name); }

  test::ScopedTimeScale fast_{0.002};
  std::shared_ptr<sim::SimAdapter> adapter_;
  std::shared_ptr<sim::Ur2Pack> pack_;
  platform::Services services_;
  link::Link link_;
  mainwindow::MainState state_;
  mainwindow::PackDispatcher dispatcher_{services_.controls, state_};
  CountingSink sink_{dispatcher_};
  mainwindow::Monitor monitor_{services_, link_, state_};
};

TEST_F(Ur2Exchange, FirstCycleShowsThePack) {
  ASSERT_NE(pack_, nullptr);
  EXPECT_EQ(pollCycles(1), 13);
  EXPECT_EQ(text(mainwindow::ctl::EditFWID), "QVU2-13S");
  EXPECT_EQ(text(mainwindow::ctl::EditFWVer), "01.0A");
  EXPECT_EQ(text(mainwindow::ctl::EditFCC), "9800");
  EXPECT_EQ(text(mainwindow::ctl::EditCellSeries), "13");
  EXPECT_EQ(text(mainwindow::ctl::EditCellParallel), "4");
  EXPECT_EQ(text(mainwindow::ctl::EditTCC), "4294967296");
  EXPECT_EQ(text(mainwindow::ctl::EditT1), "25");
  EXPECT_EQ(text(mainwindow::ctl::EditT2), "-3");
  EXPECT_EQ(services_.controls.color(mainwindow::ctl::EditOVF), colour::White);
  const auto report = state_.report.snapshot();
  for (int n = 1; n <= 13; ++n) {
    EXPECT_EQ(text(mainwindow::ctl::kCellEdits[n - 1]), QString::number(3300 + n));
    EXPECT_EQ(report.cellVoltages[static_cast<size_t>(n - 1)], static_cast<uint32_t>(3300 + n));
  }
  EXPECT_EQ(text(mainwindow::ctl::Edit_HVlot), "3313");
  EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), "3301");
  EXPECT_EQ(text(mainwindow::ctl::Edit_VoltDiff), "12");

  onWorker([&] {
    for (const Request& r :
         {Request{0x1005, 0}, {0x2001, 1}, {0x200B, 0}, {0x200A, 1}, {0x200A, 2}, {0x200A, 3}, {0x200A, 4}}) {
      EXPECT_TRUE(request(r)) << r.first;
    }
  });
  EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2024.5.6   7:8:9");
  EXPECT_EQ(text(mainwindow::ctl::EditPDSN), "SN123456");
  EXPECT_EQ(text(mainwindow::ctl::CheckBoxSippingMode), "Disabled");
  EXPECT_EQ(text(mainwindow::ctl::EditBarCode32), "QV2024BARCODE32-0123456789ABCDEF");
}

TEST_F(Ur2Exchange, TwoHundredCyclesLeaveTheFirmwareIdAsItWas) {
  EXPECT_EQ(pollCycles(1), 13);
  const QString id = text(mainwindow::ctl::EditFWID);
  EXPECT_EQ(pollCycles(200), 200 * 13);
  EXPECT_EQ(text(mainwindow::ctl::EditFWID), id);
  EXPECT_EQ(state_.firmwareIdText.text(), QByteArray("QVU2-13S"));

  sim::Ur2PackState changed = pack_->state();
  changed.cells[6] = 2900;
  changed.protectionFlags = 0x01;
  pack_->setState(changed);
  EXPECT_EQ(pollCycles(1), 13);
  EXPECT_EQ(text(mainwindow::ctl::EditVCell7), "2900");
  EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), "2900");
  EXPECT_EQ(services_.controls.color(mainwindow::ctl::EditOVF), colour::Red);
}

TEST_F(Ur2Exchange, CorruptedOrRefusedAnswersChangeNothing) {
  EXPECT_EQ(pollCycles(1), 13);
  sim::Ur2PackState changed = pack_->state();
  changed.cells.fill(4000);
  changed.firmwareId = "BROKEN!!";
  pack_->setState(changed);

  const struct {
    const char* what;
    sim::Ur2Faults pack;
    bool wrongChk;
  } cases[] = {
      {"bad check byte", {.badCheck = true}, false},
      {"status not 0", {.status = 1}, false},
      {"no answer", {.silent = true}, false},
      {"bad CHK", {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pack_->setFaults(c.pack);
    sim::Faults adapterFaults;
    adapterFaults.wrongChk = c.wrongChk;
    adapter_->setFaults(adapterFaults);
    services_.controls.takeChanged();
    EXPECT_EQ(pollCycles(1), 0);
    EXPECT_EQ(text(mainwindow::ctl::EditFWID), "QVU2-13S");
    EXPECT_EQ(text(mainwindow::ctl::EditVCell1), "3301");
    EXPECT_EQ(state_.report.snapshot().cellVoltages[0], 3301u);
    for (const std::string& name : services_.controls.takeChanged()) EXPECT_EQ(name.rfind("Shape_", 0), 0u) << name;
  }
}

TEST_F(Ur2Exchange, WriteIsAcknowledgedWhateverItsCheckBytes) {
  const auto setShipping = [&](uint8_t bit) {
    bool acknowledged = false;
    onWorker([&] {
      auto lock = link_.exchange();
      link::SendPackCommand(link_, 0x4209, 0, {0, 0, 0}, 1);
      platform::sleepMs(20);
      link::SendPackText8(link_, {bit, 0, 0, 0, 0, 0, 0, 0});
      acknowledged = link::WaitPackAck(link_, 0x4209, 0);
    });
    return acknowledged;
  };
  EXPECT_TRUE(setShipping(1));
  EXPECT_TRUE(pack_->state().shippingMode);
  onWorker([&] { EXPECT_TRUE(request({0x200B, 0})); });
  EXPECT_EQ(text(mainwindow::ctl::CheckBoxShippingModeReadOnly), "Enabled");

  pack_->setFaults({.badCheck = true});
  EXPECT_TRUE(setShipping(0));
  pack_->setFaults({.status = 3});
  EXPECT_FALSE(setShipping(1));
  pack_->setFaults({.silent = true});
  EXPECT_FALSE(setShipping(1));
  EXPECT_FALSE(pack_->state().shippingMode);
}

}  // namespace
}  // namespace qv
