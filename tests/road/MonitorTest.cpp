// Monitoring over the simulated adapter, with compressed time, as the operator drives it: configure, RUN, let
// it poll, STOP. For each variant: detection, the mode text, cycles, and the stopped state with the adapter
// closed; a silent pack and a missing adapter; STOP during detection and between steps; the UR2 probe's
// left-over answer; a pack unplugged mid-run; the end step's order; and the callees of each loop.

#include "link/ConfigFormControls.h"
#include "link/PackFrames.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/PackDispatcher.h"
#include "mainwindow/Unit1MainForm.h"
#include "platform/ExeInfo.h"
#include "sim/CanPack.h"
#include "sim/CompositePack.h"
#include "sim/SimSetups.h"
#include "sim/Ur96Pack.h"
#include "support/CurrentFolder.h"
#include "support/OnWorker.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"
#include "tests/link/LinkRig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

namespace qv {
namespace {

using mainwindow::Monitor;

// The seven CAN command buttons, which a CAN run turns on and its end turns off, written out.
const Control kCanCommandButtons[] = {mainwindow::ctl::SpdBtn_RTC_SET,         mainwindow::ctl::SpdBtn_EEP_Erase_Set,
                                      mainwindow::ctl::SpdBtn_ShippingModeSet, mainwindow::ctl::SpdBtn_ShippingModeGet,
                                      mainwindow::ctl::SpdBtn_DEEP_SLEEP_SET,  mainwindow::ctl::SpdBtn_Barcode32_W,
                                      mainwindow::ctl::SpdBtn_Barcode32_R};

// What a request to the pack was, by its payload. The UR2 probe is a UR2 request (0x1006, 0) like any other.
enum class Ask { Ur74, Ur96, Ur2, Other };

Ask kindOf(const QByteArray& payload) {
  if (payload == "X") return Ask::Ur74;
  if (payload == "&\r\n") return Ask::Ur96;
  if (payload.size() == 13 && payload[0] == '\x40') return Ask::Ur2;
  return Ask::Other;
}

uint16_t idOf(const QByteArray& payload) {
  return static_cast<uint16_t>(static_cast<uint8_t>(payload[3]) << 8 | static_cast<uint8_t>(payload[4]));
}

// A pack in front of another (or of none: silence). It keeps every request and runs the test's action on each,
// on the thread that writes, before the pack behind it answers.
class WatchedPack : public sim::SerialPack {
 public:
  explicit WatchedPack(std::shared_ptr<sim::SerialPack> inner) : inner_(std::move(inner)) {}

  // Set before the run starts. Gets the request and how many requests of its kind came before it.
  std::function<void(const QByteArray& payload, int before)> onRequest;

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    int before = 0;
    {
      std::lock_guard lock(mutex_);
      for (const QByteArray& r : requests_) before += kindOf(r) == kindOf(payload) ? 1 : 0;
      requests_.push_back(payload);
    }
    if (onRequest) onRequest(payload, before);
    std::vector<QByteArray> answers = inner_ ? inner_->answer(payload, expected) : std::vector<QByteArray>{};
    std::lock_guard lock(mutex_);
    answerCounts_.push_back(static_cast<int>(answers.size()));
    return answers;
  }

  std::vector<QByteArray> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<Ask> kinds() const {
    std::vector<Ask> out;
    for (const QByteArray& r : requests()) out.push_back(kindOf(r));
    return out;
  }
  int count(Ask kind) const {
    int n = 0;
    for (Ask k : kinds()) n += k == kind ? 1 : 0;
    return n;
  }
  // How many frames the pack behind sent back to request i.
  int answerCount(size_t i) const {
    std::lock_guard lock(mutex_);
    return i < answerCounts_.size() ? answerCounts_[i] : -1;
  }

 private:
  std::shared_ptr<sim::SerialPack> inner_;
  mutable std::mutex mutex_;
  std::vector<QByteArray> requests_;
  std::vector<int> answerCounts_;
};

// The pack of a ready-made set-up.
std::shared_ptr<sim::SerialPack> setupPack(const std::string& name) {
  return sim::makeSimDriver(name)->adapters().at(0)->pack();
}

class MonitorRoad : public ::testing::Test {
 protected:
  MonitorRoad() {
    declareForm(rig.controls, mainwindow::MainFormDef());
    adapter = rig.sim().addAdapter();
    rig.link.setPackMessageSink(&dispatcher);
  }
  ~MonitorRoad() override {
    state.RunFlag.set(0);
    rig.services.workers.joinAll();
  }

  // Puts a pack (nullptr: none) behind the adapter, watched.
  std::shared_ptr<WatchedPack> plug(std::shared_ptr<sim::SerialPack> pack) {
    auto watched = std::make_shared<WatchedPack>(std::move(pack));
    adapter->setPack(watched);
    return watched;
  }
  // The configuration dialog: protocol, scan, the first adapter, Yes.
  void configure(int protocol) {
    rig.chooseProtocol(protocol);
    rig.scan();
    rig.pick(0);
    rig.form->onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
  }
  void click() { monitor.SpdBtnRUNClick(); }

  static bool waitFor(const std::function<bool()>& done) { return test::waitFor(done); }
  bool ended() const { return rig.services.workers.running("MonitorThreadProc") == 0; }
  void waitForEnd() {
    ASSERT_TRUE(waitFor([&] { return ended(); }));
  }

  QString panel(int i) const { return rig.controls.panel(mainwindow::ctl::StatusBarView, i); }
  QString text(Control name) const { return rig.controls.text(name); }

  // The stopped state: flag down, adapter closed, RUN back, lamps white, the command set back but "PDF".
  void expectStopped() {
    EXPECT_FALSE(state.RunFlag.running());
    EXPECT_EQ(rig.link.AdapterHandle.load(), 0u);
    EXPECT_EQ(text(mainwindow::ctl::SpdBtnRUN), "RUN");
    EXPECT_EQ(rig.controls.fontColor(mainwindow::ctl::SpdBtnRUN), colour::Blue);
    EXPECT_EQ(panel(0), "  SYS : < STOP > ");
    EXPECT_EQ(panel(2), "");
    EXPECT_EQ(rig.controls.color(mainwindow::ctl::Shape_TX), colour::White);
    EXPECT_EQ(rig.controls.color(mainwindow::ctl::Shape_RX), colour::White);
    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::SpdBtn_EVTTest));
    for (Control name : mainwindow::CommandSet()) {
      EXPECT_EQ(rig.controls.enabled(name), name != mainwindow::ctl::BitBtnPrint) << name;
    }
  }

  test::ScopedTimeScale fast{0.02};
  test::LinkRig rig;
  mainwindow::MainState state;
  mainwindow::PackDispatcher dispatcher{rig.controls, state};
  Monitor monitor{rig.services, rig.link, state};
  std::shared_ptr<sim::SimAdapter> adapter;
};

TEST_F(MonitorRoad, EachVariantIsDetectedPolledAndStopped) {
  const struct {
    const char* setup;
    std::vector<Ask> detection;  // the probes, up to the one answered
    Ask poll;                    // what each cycle asks
    uint8_t variant;
    const char* mode;
    Control box;
    const char* value;
  } cases[] = {
      {"ur74", {Ask::Ur74}, Ask::Ur74, mainwindow::kVariantUr74, " UR74 Mode ", mainwindow::ctl::EditVCell1, "3700"},
      {"ur96",
       {Ask::Ur74, Ask::Ur74, Ask::Ur74, Ask::Ur96},
       Ask::Ur96,
       mainwindow::kVariantUr96,
       " UR96 Mode ",
       mainwindow::ctl::EditFWID,
       "QV1302B96A"},
      {"ur2",
       {Ask::Ur74, Ask::Ur74, Ask::Ur74, Ask::Ur96, Ask::Ur96, Ask::Ur96, Ask::Ur2},
       Ask::Ur2,
       mainwindow::kVariantUr2,
       " UR2 Mode ",
       mainwindow::ctl::EditFWID,
       "QVU2-13S"},
  };
  configure(0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    const auto pack = plug(setupPack(c.setup));
    rig.controls.setText(c.box, QString());

    click();
    // Before the worker has done anything, RUN has become STOP and switched the run-start set off.
    EXPECT_EQ(text(mainwindow::ctl::SpdBtnRUN), "STOP");
    EXPECT_EQ(rig.controls.fontColor(mainwindow::ctl::SpdBtnRUN), colour::Red);
    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::SpdBtnRUN));
    for (Control name : mainwindow::kRunStartSet) EXPECT_FALSE(rig.controls.enabled(name)) << name;

    // Three cycles beyond the probes.
    const auto probes = std::count(c.detection.begin(), c.detection.end(), c.poll);
    ASSERT_TRUE(waitFor([&] { return pack->count(c.poll) >= probes + 3; }));
    const std::vector<Ask> asked = pack->kinds();
    EXPECT_EQ(std::vector<Ask>(asked.begin(), asked.begin() + static_cast<std::ptrdiff_t>(c.detection.size())),
              c.detection);
    EXPECT_EQ(panel(0), "  SYS : < LINK >");
    EXPECT_EQ(panel(1), c.mode);
    EXPECT_TRUE(state.RunFlag.running());
    EXPECT_EQ(state.DetectedUrVariant.load(), c.variant);
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::SpdBtnConfigure));
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::SpdBtnExit));
    EXPECT_TRUE(waitFor([&] { return text(c.box) == c.value; })) << text(c.box).toStdString();

    click();
    waitForEnd();
    expectStopped();
    EXPECT_EQ(panel(1), c.mode);  // the last mode text stays
  }
}

TEST_F(MonitorRoad, SilentPackIsNotFound) {
  const auto pack = plug(nullptr);
  configure(0);
  click();
  waitForEnd();
  const std::vector<Ask> probes = {Ask::Ur74, Ask::Ur74, Ask::Ur74, Ask::Ur96, Ask::Ur96,
                                   Ask::Ur96, Ask::Ur2,  Ask::Ur2,  Ask::Ur2};
  EXPECT_EQ(pack->kinds(), probes);
  EXPECT_EQ(panel(1), " Not found ");
  EXPECT_EQ(state.DetectedUrVariant.load(), mainwindow::kVariantNone);
  expectStopped();
}

TEST_F(MonitorRoad, NoAdapterEndsTheRunAtOnce) {
  const auto pack = plug(setupPack("ur2"));
  configure(0);
  rig.controls.setItemIndex(link::ctl::CobBoxInterfaceName, -1);
  click();
  waitForEnd();
  EXPECT_TRUE(pack->requests().empty());
  EXPECT_EQ(panel(1), "");
  expectStopped();
}

// A RUN whose open fails because another session holds the adapter ends without closing that session's handle.
TEST_F(MonitorRoad, AFailedOpenLeavesAnotherSessionsHandleAlone) {
  const auto pack = plug(setupPack("ur2"));
  configure(0);
  ASSERT_TRUE(test::onWorker([&] { return rig.link.OpenAdapter(); }));
  const platform::FtHandle held = rig.link.AdapterHandle.load();
  ASSERT_NE(held, 0u);
  click();
  waitForEnd();
  EXPECT_EQ(rig.link.AdapterHandle.load(), held);
  EXPECT_TRUE(pack->requests().empty());
  EXPECT_EQ(panel(0), "  SYS : < STOP > ");
  test::onWorker([&] { return rig.link.CloseAdapter(); });
}

TEST_F(MonitorRoad, StopDuringDetectionSkipsTheRemainingTries) {
  const auto pack = plug(nullptr);
  // The operator presses STOP while the second UR74 probe goes out.
  pack->onRequest = [&](const QByteArray&, int before) {
    if (before == 1) click();
  };
  configure(0);
  click();
  waitForEnd();
  EXPECT_EQ(pack->kinds(), (std::vector<Ask>{Ask::Ur74, Ask::Ur74}));
  EXPECT_EQ(panel(1), " Not found ");
  expectStopped();
}

TEST_F(MonitorRoad, StopIsSeenAtTheNextCheck) {
  // STOP while a poll request goes out: the run ends before the wait that follows it, nothing more is asked.
  const struct {
    const char* setup;
    Ask poll;
    int stopAt;  // requests of that kind before the one during which STOP comes
  } cases[] = {{"ur74", Ask::Ur74, 3}, {"ur96", Ask::Ur96, 2}, {"ur2", Ask::Ur2, 20}};
  configure(0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    const auto pack = plug(setupPack(c.setup));
    std::atomic<int> stoppedAt{-1};
    pack->onRequest = [&](const QByteArray& payload, int before) {
      if (kindOf(payload) == c.poll && before == c.stopAt) {
        stoppedAt = static_cast<int>(pack->requests().size());
        click();
      }
    };
    click();
    waitForEnd();
    EXPECT_EQ(static_cast<int>(pack->requests().size()), stoppedAt.load());
    expectStopped();
  }
}

TEST_F(MonitorRoad, Ur2ProbeLeavesNoBytesThatShiftThePolls) {
  const auto pack = plug(setupPack("ur2"));
  // Stop as the second cycle begins: everything shown comes from the first cycle after the probe.
  pack->onRequest = [&](const QByteArray& payload, int before) {
    if (kindOf(payload) == Ask::Ur2 && before == 1 + 13) click();
  };
  configure(0);
  click();
  waitForEnd();

  const std::vector<QByteArray> asked = pack->requests();
  ASSERT_EQ(asked.size(), 7u + 14u);
  ASSERT_EQ(idOf(asked[6]), 0x1006);
  EXPECT_EQ(pack->answerCount(6), 2);  // the probe's answer is whole: its header and its data frame
  const uint16_t cycle[] = {0x0001, 0x0005, 0x1002, 0x0009, 0x1004, 0x0009, 0x1006,
                            0x1003, 0x1007, 0x1001, 0x1001, 0x1001, 0x1001, 0x0001};
  for (size_t i = 0; i < std::size(cycle); ++i) EXPECT_EQ(idOf(asked[7 + i]), cycle[i]) << i;

  EXPECT_EQ(text(mainwindow::ctl::EditFWID), "QVU2-13S");
  EXPECT_EQ(text(mainwindow::ctl::EditFWVer), "01.0A");
  EXPECT_EQ(text(mainwindow::ctl::EditFCC), "9800");
  EXPECT_EQ(text(mainwindow::ctl::EditCellSeries), "13");
  EXPECT_EQ(text(mainwindow::ctl::EditCellParallel), "4");
  EXPECT_EQ(text(mainwindow::ctl::EditTCC), "4294967296");
  EXPECT_EQ(text(mainwindow::ctl::EditT1), "25");
  EXPECT_EQ(text(mainwindow::ctl::EditT2), "-3");
  for (int n = 1; n <= 13; ++n) EXPECT_EQ(text(mainwindow::ctl::kCellEdits[n - 1]), QString::number(3300 + n)) << n;
  EXPECT_EQ(rig.controls.maximum(mainwindow::ctl::ProgressBarSOC), 100);
  expectStopped();
}

TEST_F(MonitorRoad, UnpluggedPackEndsNothingBadly) {
  const struct {
    const char* setup;
    Ask poll;
    const char* mode;
  } cases[] = {{"ur74", Ask::Ur74, " UR74 Mode "}, {"ur96", Ask::Ur96, " UR96 Mode "}, {"ur2", Ask::Ur2, " UR2 Mode "}};
  configure(0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    adapter->replug();
    const auto pack = plug(setupPack(c.setup));
    pack->onRequest = [&](const QByteArray& payload, int before) {
      if (kindOf(payload) == c.poll && before == 2) adapter->unplug();
    };
    click();
    ASSERT_TRUE(waitFor([&] { return rig.link.AdapterStatus.load() != platform::FT_OK; }));
    // Polling goes on against the missing pack, with its waits: the run neither ends nor hangs.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(ended());
    EXPECT_TRUE(state.RunFlag.running());
    EXPECT_EQ(text(mainwindow::ctl::SpdBtnRUN), "STOP");
    EXPECT_EQ(panel(1), c.mode);

    click();
    waitForEnd();
    expectStopped();

    // Plugged in again, the next run finds the pack.
    adapter->replug();
    const auto again = plug(setupPack(c.setup));
    click();
    ASSERT_TRUE(waitFor([&] { return again->count(c.poll) >= 2; }));
    EXPECT_EQ(panel(1), c.mode);
    click();
    waitForEnd();
    expectStopped();
  }
}

TEST_F(MonitorRoad, EndStepShowsRunLast) {
  // What the end step has done by the time RUN reads "RUN" again, so a click then starts a clean run.
  struct Seen {
    bool flag = true;
    bool configure = false;
    QString link;
    bool adapterOpen = true;
  };
  Guarded<Seen> seen;
  rig.controls.onTextChanged(mainwindow::ctl::SpdBtnRUN, [&](Controls& c, const QString& caption) {
    if (caption != "RUN") return;
    seen.set({state.RunFlag.running(), c.enabled(mainwindow::ctl::SpdBtnConfigure),
              c.panel(mainwindow::ctl::StatusBarView, 0), rig.link.AdapterHandle.load() != 0});
  });
  plug(setupPack("ur74"));
  configure(0);
  click();
  ASSERT_TRUE(waitFor([&] { return panel(1) == " UR74 Mode "; }));
  click();
  waitForEnd();
  const Seen s = seen.snapshot();
  EXPECT_FALSE(s.flag);
  EXPECT_TRUE(s.configure);
  EXPECT_EQ(s.link, "  SYS : < STOP > ");
  EXPECT_FALSE(s.adapterOpen);
}

// Counts of hook calls, and what the display showed during them.
struct HookLog {
  std::atomic<int> resets{0}, clears{0}, rtc{0}, shipping{0}, searches{0}, canCells{0};
  std::atomic<int> eep{0}, b32{0}, b16{0};
  std::atomic<bool> found{false};
  std::atomic<bool> boxEnabledDuringSearch{false};
};

void installHooks(Monitor& monitor, HookLog& log, Controls& controls) {
  mainwindow::MonitorHooks& h = monitor.hooks;
  h.ResetLiveDisplay = [&] { ++log.resets; };
  h.ClearBarcodeKindFlags = [&] {
    ++log.clears;
    log.found = false;
  };
  h.AnyBarcodeKindFound = [&] { return log.found.load(); };
  h.ReadBarcode32Eep = [&] { return ++log.eep, false; };
  h.ReadBarcode32 = [&] {
    ++log.b32;
    log.found = true;
    return true;
  };
  h.ReadBarcode16 = [&] { return ++log.b16, false; };
  h.ReadRtc = [&] { ++log.rtc; };
  h.PollShippingMode = [&] { ++log.shipping; };
  h.ReadEventCounts = [] { return true; };
  h.ReadLastChargeDate = [&] {
    ++log.searches;
    if (controls.enabled(mainwindow::ctl::CheckBoxLastChgDate)) log.boxEnabledDuringSearch = true;
  };
  h.ResetCanCellCount = [&] { ++log.canCells; };
}

TEST_F(MonitorRoad, Ur2LoopCallsItsCallees) {
  HookLog log;
  installHooks(monitor, log, rig.controls);
  const auto pack = plug(setupPack("ur2"));
  // The probe and three whole cycles, then STOP as the fourth begins.
  pack->onRequest = [&](const QByteArray& payload, int before) {
    if (kindOf(payload) == Ask::Ur2 && before == 1 + 3 * 13) click();
  };
  configure(0);
  click();
  waitForEnd();

  EXPECT_EQ(log.resets.load(), 1);
  EXPECT_EQ(log.clears.load(), 1);
  EXPECT_TRUE(rig.controls.visible(mainwindow::ctl::GroupBoxLastChgDate));
  // The tick stays, and the search runs in every cycle with the box disabled.
  EXPECT_TRUE(rig.controls.checked(mainwindow::ctl::CheckBoxLastChgDate));
  EXPECT_EQ(log.searches.load(), 3);
  EXPECT_FALSE(log.boxEnabledDuringSearch.load());
  EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::CheckBoxLastChgDate));
  EXPECT_EQ(log.rtc.load(), 3);
  // The barcode kinds are read in the first cycle only: Barcode32 was found there.
  EXPECT_EQ(log.eep.load(), 1);
  EXPECT_EQ(log.b32.load(), 1);
  EXPECT_EQ(log.b16.load(), 1);
  expectStopped();

  // With EditRTCENG not visible the clock is not read.
  rig.controls.setVisible(mainwindow::ctl::EditRTCENG, false);
  pack->onRequest = [&](const QByteArray& payload, int before) {
    if (kindOf(payload) == Ask::Ur2 && before == (1 + 3 * 13 + 1) + (1 + 2 * 13)) click();
  };
  click();
  waitForEnd();
  EXPECT_EQ(log.rtc.load(), 3);
  EXPECT_EQ(log.searches.load(), 5);
}

// A callee of each loop that throws mid-run: the loop's end step runs as after STOP (for CAN the command buttons
// and the keep-alive off, the borrowed session given back), and the next run opens the adapter again.
TEST_F(MonitorRoad, ARunEndedByAnExceptionStillEndsInTheStoppedState) {
  const auto gaveUp = [] { throw std::runtime_error("a callee gave up"); };
  const struct {
    const char* setup;  // nullptr: the CAN pack
    const char* mode;
    std::function<void(Monitor&, WatchedPack&)> breakOne;
  } cases[] = {
      {"ur74", " UR74 Mode ",
       [&](Monitor&, WatchedPack& pack) {
         pack.onRequest = [&](const QByteArray& payload, int before) {
           if (kindOf(payload) == Ask::Ur74 && before == 2) gaveUp();
         };
       }},
      {"ur96", " UR96 Mode ", [&](Monitor& m, WatchedPack&) { m.hooks.PollShippingMode = gaveUp; }},
      {"ur2", " UR2 Mode ", [&](Monitor& m, WatchedPack&) { m.hooks.ReadRtc = gaveUp; }},
      {nullptr, " CAN Mode ", [&](Monitor& m, WatchedPack&) { m.hooks.ReadShippingModeCan = gaveUp; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup != nullptr ? c.setup : "can");
    HookLog log;
    installHooks(monitor, log, rig.controls);
    monitor.hooks.CheckCanBitRate = [](platform::FtHandle, uint32_t) { return true; };
    std::shared_ptr<WatchedPack> pack;
    if (c.setup != nullptr) {
      pack = plug(setupPack(c.setup));
      adapter->setCanNode(nullptr);
    } else {
      pack = plug(nullptr);
      adapter->setCanNode(std::make_shared<sim::CanPack>());
    }
    configure(c.setup != nullptr ? 0 : 1);
    c.breakOne(monitor, *pack);
    click();
    waitForEnd();
    EXPECT_EQ(panel(1), c.mode);
    expectStopped();
    EXPECT_FALSE(rig.link.canSessionHeld());
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
    for (Control name : kCanCommandButtons) EXPECT_FALSE(rig.controls.enabled(name)) << name;

    // The adapter was given back: the next run opens it again.
    installHooks(monitor, log, rig.controls);
    pack->onRequest = {};
    rig.controls.setPanel(mainwindow::ctl::StatusBarView, 1, QString());
    click();
    ASSERT_TRUE(waitFor([&] { return panel(1) == c.mode; }));
    click();
    waitForEnd();
    expectStopped();
  }
}

TEST_F(MonitorRoad, Ur96LoopSearchesOnceAndSkipsCellsAfterABadRecord) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  test::ScopedExeName usualNameAfterwards("VELMO_ENG");
  platform::setExeInfo({folder.path() + "/", QStringLiteral("VELMO_ENG")});

  HookLog log;
  installHooks(monitor, log, rig.controls);
  const std::shared_ptr<sim::SerialPack> inner = setupPack("ur96");
  const auto composite = std::dynamic_pointer_cast<sim::CompositePack>(inner);
  ASSERT_NE(composite, nullptr);
  auto* ur96 = dynamic_cast<sim::Ur96Pack*>(composite->members().front().get());
  ASSERT_NE(ur96, nullptr);
  const auto pack = plug(inner);
  // Queries 1 (the probe) to 3 get good records, 4 and 5 records with a wrong sum; STOP during query 6.
  pack->onRequest = [&](const QByteArray& payload, int before) {
    if (kindOf(payload) != Ask::Ur96) return;
    if (before == 3) ur96->setFaults({.wrongSum = true});
    if (before == 5) click();
  };
  configure(0);
  rig.controls.setChecked(link::ctl::CheckBoxLogFileSave, true);
  rig.controls.setChecked(mainwindow::ctl::CheckBoxLastChgDate, true);
  click();
  waitForEnd();

  // Cells are asked after the two good records only.
  EXPECT_EQ(pack->count(Ask::Ur2), 2 * 4);
  EXPECT_EQ(log.shipping.load(), 4);
  EXPECT_EQ(log.searches.load(), 1);
  EXPECT_FALSE(log.boxEnabledDuringSearch.load());
  EXPECT_FALSE(rig.controls.checked(mainwindow::ctl::CheckBoxLastChgDate));
  EXPECT_TRUE(rig.controls.visible(mainwindow::ctl::GroupBoxLastChgDate));
  EXPECT_EQ(log.clears.load(), 1);
  for (Control name : {mainwindow::ctl::BitBtnCellRPrarmLoad, mainwindow::ctl::BitBtnRCellmOmhAdjust,
                       mainwindow::ctl::BitBtnWCellmOmhAdjust})
    EXPECT_TRUE(rig.controls.enabled(name)) << name;

  // One log, its header and a line for each of the four cycles.
  const QStringList logs = QDir(folder.path() + "/Monitor_Log").entryList(QDir::Files);
  ASSERT_EQ(logs.size(), 1);
  QFile file(folder.path() + "/Monitor_Log/" + logs.first());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count("\r\n"), 1 + 4);
  expectStopped();
}

TEST_F(MonitorRoad, CanRunPollsUntilStop) {
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  ASSERT_TRUE(folder.write(mainwindow::kCapacityTableFile, "Barcode,Wh\nQV32BC,500\n"));
  adapter->setCanNode(std::make_shared<sim::CanPack>());

  // Requests 0x440 the pack was sent, by command.
  const auto canRequests = [&](uint16_t command) {
    int n = 0;
    for (const QByteArray& f : adapter->written()) {
      const auto u8 = [&](int i) { return static_cast<uint8_t>(f[i]); };
      if (f.size() == 19 && u8(2) == 0x04 && u8(3) == 0x01 && (u8(7) << 8 | u8(8)) == 0x440 &&
          (u8(9) << 8 | u8(10)) == command)
        ++n;
    }
    return n;
  };

  const struct {
    const char* what;
    bool rateSet;
    QString barcode;  // what the barcode read finds, for each kind asked
    std::vector<int> kindsAsked;
    QString energy;
  } cases[] = {
      {"no rate, no barcode", false, QString(), {0, 1}, QString()},
      {"rate and barcode", true, QStringLiteral("QV32BC24050700000000000000000001"), {0}, QStringLiteral("500")},
  };
  configure(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HookLog log;
    installHooks(monitor, log, rig.controls);
    std::vector<int> kindsAsked;
    std::mutex asked;
    monitor.hooks.CheckCanBitRate = [&](platform::FtHandle handle, uint32_t rate) {
      EXPECT_EQ(handle, rig.link.AdapterHandle.load());
      EXPECT_EQ(rate, 250000u);
      return c.rateSet;
    };
    monitor.hooks.CanReadBarcodeWorker = [&] {
      std::lock_guard lock(asked);
      kindsAsked.push_back(rig.controls.itemIndex(mainwindow::ctl::RadioGroupBarcodeSelect));
      rig.controls.setText(mainwindow::ctl::Edit_Barcode32_RW, c.barcode);
    };
    adapter->clearWritten();
    rig.controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, QStringLiteral("old"));

    click();
    ASSERT_TRUE(waitFor([&] { return canRequests(0x1001) >= 3 * 4 && log.canCells >= 3; }));
    EXPECT_EQ(panel(1), " CAN Mode ");
    EXPECT_EQ(panel(2), c.rateSet ? QString() : QStringLiteral(" Baud Rate  : 250000 Can't Set  "));
    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::SpdBtn_Barcode32_R));
    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::SpdBtn_DEEP_SLEEP_SET));
    EXPECT_EQ(text(mainwindow::ctl::Edit_Battery_Capacity_BRCAN), c.energy);
    {
      std::lock_guard lock(asked);
      EXPECT_EQ(kindsAsked, c.kindsAsked);
    }
    // Each cycle asks the identity before the cells and the design figures after them.
    EXPECT_GE(canRequests(0x0001), 2 * 3);
    EXPECT_GE(canRequests(0x0009), 4 * 2);

    click();
    waitForEnd();
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
    for (Control name : kCanCommandButtons) EXPECT_FALSE(rig.controls.enabled(name)) << name;
    expectStopped();
  }
}

// Bytes before each reply of the adapter (a stray byte, a frame head that goes nowhere, eight bytes of noise
// with a head of another type among them): each variant is still found at its first probe and polled.
TEST_F(MonitorRoad, NoiseBeforeEachReplyNeitherHidesNorShiftsAPack) {
  const QByteArray noises[] = {QByteArray(1, '\0'), QByteArray("\x55\xAA\x07", 3),
                               QByteArray("\x0D\x55\xAA\x01\x19\x00\x02\x55", 8)};
  const struct {
    const char* setup;
    std::vector<Ask> detection;
    Ask poll;
    const char* mode;
    Control box;
    const char* value;
  } cases[] = {
      // clang-format off
      {"ur74", {Ask::Ur74}, Ask::Ur74, " UR74 Mode ", mainwindow::ctl::EditVCell1, "3700"},
      {"ur96", {Ask::Ur74, Ask::Ur74, Ask::Ur74, Ask::Ur96}, Ask::Ur96, " UR96 Mode ", mainwindow::ctl::EditFWID,
       "QV1302B96A"},
      {"ur2",
       {Ask::Ur74, Ask::Ur74, Ask::Ur74, Ask::Ur96, Ask::Ur96, Ask::Ur96, Ask::Ur2},
       Ask::Ur2,
       " UR2 Mode ",
       mainwindow::ctl::EditFWID,
       "QVU2-13S"},
      // clang-format on
  };
  configure(0);
  for (const QByteArray& noise : noises) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.setup) + " after " + std::to_string(noise.size()) + " noise bytes");
      sim::Faults faults;
      faults.noiseBefore = noise;
      adapter->setFaults(faults);
      const auto pack = plug(setupPack(c.setup));
      rig.controls.setText(c.box, QString());
      click();
      const auto probes = std::count(c.detection.begin(), c.detection.end(), c.poll);
      ASSERT_TRUE(waitFor([&] { return pack->count(c.poll) >= probes + 2; }));
      const std::vector<Ask> asked = pack->kinds();
      EXPECT_EQ(std::vector<Ask>(asked.begin(), asked.begin() + static_cast<std::ptrdiff_t>(c.detection.size())),
                c.detection);
      EXPECT_EQ(panel(1), c.mode);
      EXPECT_TRUE(waitFor([&] { return text(c.box) == c.value; })) << text(c.box).toStdString();
      click();
      waitForEnd();
      expectStopped();
    }
  }
}

// A cable pulled during each loop: the loop keeps its pace (no cycle without its waits), a cycle whose query
// was not written writes no log line, the TX lamp shows the failed write, and STOP ends the run cleanly.
TEST_F(MonitorRoad, APulledCableKeepsEachLoopsPaceAndFloodsNoLog) {
  test::ScopedExeName usualNameAfterwards("VELMO_ENG");
  const struct {
    const char* setup;  // nullptr: the CAN pack
    Ask poll;
    int periodMs;                         // the sleeps of one cycle whose query fails
    std::atomic<int> HookLog::*perCycle;  // a callee each cycle calls once; nullptr: none
  } cases[] = {
      {"ur74", Ask::Ur74, 500, nullptr},
      {"ur96", Ask::Ur96, 200, &HookLog::shipping},  // no record: no cell requests, as after a bad record
      {"ur2", Ask::Ur2, 950, &HookLog::rtc},
      {nullptr, Ask::Other, 110, &HookLog::canCells},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup != nullptr ? c.setup : "can");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    platform::setExeInfo({folder.path() + "/", QStringLiteral("VELMO_ENG")});
    HookLog log;
    installHooks(monitor, log, rig.controls);
    monitor.hooks.CheckCanBitRate = [](platform::FtHandle, uint32_t) { return true; };
    adapter->replug();
    adapter->setFaults({});
    std::shared_ptr<WatchedPack> pack;
    if (c.setup != nullptr) {
      pack = plug(setupPack(c.setup));
      adapter->setCanNode(nullptr);
    } else {
      plug(nullptr);
      adapter->setCanNode(std::make_shared<sim::CanPack>());
    }
    configure(c.setup != nullptr ? 0 : 1);
    rig.controls.setChecked(link::ctl::CheckBoxLogFileSave, true);
    const auto logLines = [&] {
      const QStringList logs = QDir(folder.path() + "/Monitor_Log").entryList(QDir::Files);
      if (logs.isEmpty()) return 0LL;
      QFile file(folder.path() + "/Monitor_Log/" + logs.first());
      return file.open(QIODevice::ReadOnly) ? static_cast<long long>(file.readAll().count("\r\n")) : -1LL;
    };

    click();
    if (pack) {
      ASSERT_TRUE(waitFor([&] { return pack->count(c.poll) >= 3 + 3; }));  // past the probes
    } else {
      ASSERT_TRUE(waitFor([&] { return log.canCells >= 2; }));
    }
    adapter->unplug();
    const auto pulled = std::chrono::steady_clock::now();
    // Counted once the cable is out: a cycle may end between a count taken before and the pull.
    const long long linesBefore = logLines();
    const int cyclesBefore = c.perCycle != nullptr ? (log.*c.perCycle).load() : 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double simulatedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pulled).count() / 0.02;

    // The cycle under way when the cable went may still write its line; none after it.
    EXPECT_LE(logLines(), linesBefore + 1);
    if (c.perCycle != nullptr) {
      EXPECT_LE((log.*c.perCycle).load() - cyclesBefore, static_cast<int>(simulatedMs / c.periodMs) + 2);
    }
    if (c.poll == Ask::Ur74 || c.poll == Ask::Ur96) {
      EXPECT_EQ(rig.controls.color(mainwindow::ctl::Shape_TX), colour::White);
    }
    EXPECT_FALSE(ended());
    EXPECT_EQ(text(mainwindow::ctl::SpdBtnRUN), "STOP");

    click();
    waitForEnd();
    expectStopped();
  }
}

}  // namespace
}  // namespace qv
