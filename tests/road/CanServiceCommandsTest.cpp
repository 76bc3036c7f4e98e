// The CAN service page's commands in the whole program while CAN monitoring runs against the simulated CAN
// pack: the frames each puts on the bus, the labels it leaves, a refusing and a silent pack, the erase without
// its consent, deep sleep ending the run, the polling loop's shipping-mode read, and the keep-alive's period
// while commands hold the exchange.

#include "CanServiceRig.h"

#include "commands/CanServiceCommands.h"
#include "platform/Time.h"
#include "support/OnWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace qv {
namespace {

namespace c = mainwindow::ctl;
using test::hex;

using test::Request;
using test::waitFor;

using CanServiceRoad = test::CanServiceRig;

TEST_F(CanServiceRoad, ClockSetWritesThePcClockAndKeepsItForTheFunctionTest) {
  run();
  // A double click starts one command (the exchange held elsewhere meanwhile, so the first cannot be over before
  // the second click); its answer is the command's, with monitoring reading beside it.
  {
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
      const auto exchange = tool->link.exchange();
      held = true;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    // The clock starts at a whole second right before the command, so a slow machine does not carry it on.
    platform::setFixedNow(QDateTime(QDate(2018, 7, 3), QTime(9, 5, 7)));
    tool->FormMain.onEvent(c::SpdBtn_RTC_SET, UiEvent::Click);
    tool->FormMain.onEvent(c::SpdBtn_RTC_SET, UiEvent::Click);
    release = true;
    holder.join();
  }
  ASSERT_TRUE(waitFor([&] { return controls().enabled(c::SpdBtn_RTC_SET); }));
  platform::setFixedNow(QDateTime());

  const std::vector<Request> r = requests(0x4006);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].request, hex("40 06 00 00 00 00 00 06"));
  EXPECT_EQ(r[0].dataLength, 6);
  EXPECT_EQ(r[0].data, hex("12 07 03 09 05 07"));
  EXPECT_EQ(text(c::Edit_RTC_CAN_ENG), " 2018.07.03   09:05:07 ");
  const mainwindow::EvtTest t = tool->state.records.EVT_TEST.snapshot();
  EXPECT_EQ(t.WrittenRtcDate, 20180703);
  EXPECT_EQ(t.WrittenRtcSeconds, 32707);
  EXPECT_EQ(t.WrittenRtcYear, 2018);
  EXPECT_EQ(t.WrittenRtcSecond, 7);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(pack->state().clock.data()), 6), hex("12 07 03 09 05 07"));
  EXPECT_TRUE(controls().enabled(c::Timer_300h_ON));
}

TEST_F(CanServiceRoad, ClockSetThatIsNotAcceptedLeavesNoWrittenClock) {
  const struct {
    const char* name;
    std::function<void(sim::CanPackFaults&)> fault;
  } cases[] = {
      // clang-format off
      {"silent", [](sim::CanPackFaults& f) { f.unanswered = {{0x4006, 0}}; }},
      {"refusing", [](sim::CanPackFaults& f) { f.refused = {{0x4006, 0, -1, 0x01}}; }},
      // clang-format on
  };
  run();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    adapter->clearWritten();
    setFaults(k.fault);
    tool->state.records.EVT_TEST.with([](mainwindow::EvtTest& t) {
      t.WrittenRtcDate = 20170101;
      t.WrittenRtcSeconds = 100;
      t.WrittenRtcYear = 2017;
    });
    EXPECT_FALSE(test::onWorker([&] { return commands::CanSetRtcWorker(tool->link, tool->state); }));
    EXPECT_EQ(requests(0x4006).size(), 10u);
    EXPECT_EQ(text(c::Edit_RTC_CAN_ENG), "");
    const mainwindow::EvtTest t = tool->state.records.EVT_TEST.snapshot();
    EXPECT_EQ(t.WrittenRtcYear, 0);
    EXPECT_EQ(t.WrittenRtcDate, 0);
    EXPECT_EQ(t.WrittenRtcSeconds, 0);
    EXPECT_TRUE(controls().enabled(c::SpdBtn_RTC_SET));
  }
}

TEST_F(CanServiceRoad, ShippingModeSetIsOkOnlyWhenThePackAcceptedIt) {
  const struct {
    const char* name;
    bool tick;
    std::function<void(sim::CanPackFaults&)> fault;
    bool result;
    const char* label;
    bool packShipping;
  } cases[] = {
      // clang-format off
      {"accepted", true, [](sim::CanPackFaults&) {}, true, "CMD : OK", true},
      {"refused", true, [](sim::CanPackFaults& f) { f.refused = {{0x4209, 0, -1, 0x01}}; }, false, "CMD : Refused", false},
      {"silent", true, [](sim::CanPackFaults& f) { f.unanswered = {{0x4209, 0}}; }, false, "CMD : Timeout", false},
      {"accepted, off", false, [](sim::CanPackFaults&) {}, true, "CMD : OK", false},
      // clang-format on
  };
  run();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    sim::CanPackState s = pack->state();
    s.shippingMode = false;
    pack->setState(s);
    setFaults(k.fault);
    adapter->clearWritten();
    controls().setChecked(c::CheckBox_SippingMode, k.tick);
    controls().setText(c::Label_GET_RXDAT, "DAT : 1");
    EXPECT_EQ(test::onWorker([&] { return commands::CanSetShippingModeWorker(tool->link, tool->state); }), k.result);
    const std::vector<Request> r = requests(0x4209);
    ASSERT_EQ(r.size(), 3u);  // always three passes
    for (const Request& one : r) {
      EXPECT_EQ(one.request, hex("42 09 00 00 00 00 00 01"));
      EXPECT_EQ(one.data, k.tick ? hex("01") : hex("00"));
    }
    EXPECT_EQ(text(c::Label_GET_SET_RXCMD), k.label);
    EXPECT_EQ(text(c::Label_GET_RXDAT), "");
    EXPECT_EQ(pack->state().shippingMode, k.packShipping);
  }
  // The button's road: the click's worker does the same.
  setFaults([](sim::CanPackFaults&) {});
  controls().setChecked(c::CheckBox_SippingMode, true);
  controls().setText(c::Label_GET_SET_RXCMD, "");
  clickAndWait(c::SpdBtn_ShippingModeSet);
  EXPECT_EQ(text(c::Label_GET_SET_RXCMD), "CMD : OK");
}

TEST_F(CanServiceRoad, TheShippingModeCaptionSaysWhatTheNextSetSends) {
  for (bool tick : {true, false}) {
    controls().setChecked(c::CheckBox_SippingMode, tick);
    tool->FormMain.onEvent(c::CheckBox_SippingMode, UiEvent::Click);
    EXPECT_EQ(text(c::CheckBox_SippingMode), tick ? "Enabled" : "Disabled");
  }
}

TEST_F(CanServiceRoad, EraseIsGatedByTheEraseGroupsOwnBox) {
  run();
  // The UR page's box, invisible under CAN, gives no consent.
  controls().setChecked(c::CheckBoxEEPROMErase, true);
  controls().setChecked(c::CheckBox1, false);
  controls().setText(c::LabelEPPEraseStatus, "Erase Status");
  clickAndWait(c::SpdBtn_EEP_Erase_Set);
  EXPECT_TRUE(requests(0x4102).empty());
  EXPECT_EQ(text(c::LabelEPPEraseStatus), "");
  EXPECT_EQ(pack->state().internalEepromErases, 0);

  // Answered at the third try: two refusals show "Time out" first.
  controls().setChecked(c::CheckBox1, true);
  setFaults([](sim::CanPackFaults& f) { f.refused = {{0x4102, 0, 2, 0x01}}; });
  clickAndWait(c::SpdBtn_EEP_Erase_Set);
  const std::vector<Request> r = requests(0x4102);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].request, hex("41 02 00 00 00 00 00 01"));
  EXPECT_EQ(r[0].data, hex("01"));
  EXPECT_EQ(text(c::LabelEPPEraseStatus), "Erase Success");
  EXPECT_EQ(pack->state().internalEepromErases, 1);

  adapter->clearWritten();
  setFaults([](sim::CanPackFaults& f) { f.silent = true; });
  clickAndWait(c::SpdBtn_EEP_Erase_Set);
  EXPECT_EQ(requests(0x4102).size(), 10u);
  EXPECT_EQ(text(c::LabelEPPEraseStatus), "Time out");
}

TEST_F(CanServiceRoad, DeepSleepEndsTheRunAnsweredOrNot) {
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "answering");
    setFaults([&](sim::CanPackFaults& f) {
      if (silent) f.unanswered = {{0x4206, 0}};
    });
    const int before = pack->state().deepSleeps;
    run();
    tool->FormMain.onEvent(c::SpdBtn_DEEP_SLEEP_SET, UiEvent::Click);
    ASSERT_TRUE(waitFor([&] { return tool->services.workers.running() == 0; }));
    const std::vector<Request> r = requests(0x4206);
    ASSERT_EQ(r.size(), silent ? 10u : 1u);
    EXPECT_EQ(r[0].request, hex("42 06 00 00 00 00 00 08"));
    EXPECT_EQ(r[0].data, hex("FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(pack->state().deepSleeps, silent ? before : before + 1);
    EXPECT_EQ(text(c::SpdBtnRUN), "RUN");
    EXPECT_FALSE(tool->state.RunFlag.running());
    // The run's end takes the page's buttons and the keep-alive, the deep sleep's own button included.
    EXPECT_FALSE(controls().enabled(c::SpdBtn_DEEP_SLEEP_SET));
    EXPECT_FALSE(controls().enabled(c::SpdBtn_RTC_SET));
    EXPECT_FALSE(controls().enabled(c::Timer_300h_ON));
  }
}

TEST_F(CanServiceRoad, WithoutACanRunTheCommandsSendNothing) {
  // The adapter open, as a UR session would hold it, but no CAN run.
  platform::FtHandle h = 0;
  ASSERT_EQ(tool->services.driver().OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
  tool->link.AdapterHandle = h;
  tool->state.RunFlag.set(1);
  adapter->clearWritten();
  test::onWorker([&] {
    EXPECT_FALSE(commands::CanSetRtcWorker(tool->link, tool->state));
    EXPECT_FALSE(commands::CanSetShippingModeWorker(tool->link, tool->state));
    EXPECT_FALSE(commands::CanDeepSleep(tool->link, tool->state));
    commands::CanDeepSleepWorker(tool->link, tool->state);
    controls().setChecked(c::CheckBox1, true);
    commands::CanEraseEepromWorker(tool->link, tool->state);
    EXPECT_FALSE(commands::RequestRtcCan(tool->link));
  });
  EXPECT_TRUE(sent().empty());
  EXPECT_FALSE(controls().enabled(c::Timer_300h_ON));
  EXPECT_TRUE(tool->state.RunFlag.running());  // another run's flag is left alone
  tool->link.AdapterHandle = 0;
  tool->services.driver().Close(h);
  tool->state.RunFlag.set(0);
}

TEST_F(CanServiceRoad, TheLoopsShippingModeReadShowsItsAnswer) {
  sim::CanPackState s = pack->state();
  s.shippingMode = true;
  pack->setState(s);
  run();
  ASSERT_TRUE(waitFor([&] { return text(c::Label_ShippingMode_RX_CMD) == "CMD : OK"; }));
  EXPECT_TRUE(waitFor([&] { return controls().checked(c::CheckBox_ShippingModeReadOnly); }));

  setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x200B, 0}}; });
  EXPECT_TRUE(waitFor([&] { return text(c::Label_ShippingMode_RX_CMD) == "CMD : Timeout"; }));
}

TEST_F(CanServiceRoad, TheShippingModeReadClearsOnlyItsOwnFlagByte) {
  run();
  const auto header = [&](uint16_t command, uint16_t index) {
    const uint8_t d[8] = {uint8_t(command >> 8), uint8_t(command), uint8_t(index >> 8), uint8_t(index), 0, 0, 0, 0};
    tool->canDispatcher.DispatchCanFrame(0, 0x442, d, 8);
  };
  // Another command's answer has come in and is still being polled for.
  test::onWorker([&] {
    const auto exchange = tool->link.exchange();
    header(0x4009, 1);
    header(0x200A, 3);
    EXPECT_TRUE(commands::ReadShippingModeCan(tool->link));
  });
  const auto& flags = tool->canDispatcher.ackFlags();
  EXPECT_EQ(flags.answered(link::CanAckFamily::Barcode32Write), 0x01);
  EXPECT_EQ(flags.answered(link::CanAckFamily::Barcode32Read) & 0x04, 0x04);
}

TEST(CanKeepAlive, ATickWritesTheKeepAliveOnlyToAnOpenAdapter) {
  auto driver = sim::makeSimDriver("can");
  auto adapter = driver->adapters().front();
  app::ServiceTool tool(std::move(driver));
  Controls& cs = tool.services.controls;
  const uint32_t lamp = cs.color(c::Shape_TX);
  EXPECT_FALSE(tool.FormMain.SendKeepAlive300h());
  tool.FormMain.onEvent(c::Timer_300h_ON, UiEvent::Timer);
  EXPECT_TRUE(adapter->written().empty());
  EXPECT_EQ(cs.color(c::Shape_TX), lamp);

  platform::FtHandle h = 0;
  ASSERT_EQ(tool.services.driver().OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
  tool.link.AdapterHandle = h;
  tool.FormMain.onEvent(c::Timer_300h_ON, UiEvent::Timer);
  ASSERT_EQ(adapter->written().size(), 1u);
  const QByteArray f = adapter->written().front();
  EXPECT_EQ(f.left(9), hex("55 AA 04 01 80 00 00 03 00"));
  EXPECT_EQ(f.mid(9, 8), hex("01 5A 00 5A 00 00 00 00"));
  EXPECT_NE(cs.color(c::Shape_TX), lamp);
  tool.FormMain.onEvent(c::Timer_300h_ON, UiEvent::Timer);
  EXPECT_EQ(cs.color(c::Shape_TX), lamp);
  tool.link.AdapterHandle = 0;
  tool.services.driver().Close(h);
}

// The display's timer, as the test's thread (the program's GUI thread) runs it: a tick every 100 ms of program
// time while the store says the timer runs. The keep-alive goes out from here, beside monitoring and a command
// that holds the exchange for its whole exchange.
TEST_F(CanServiceRoad, TheKeepAliveGoesOutEveryTickWhileCommandsHoldTheExchange) {
  test::ScopedTimeScale slower{0.2};  // coarse enough for the scheduler's jitter to stay well under 100 ms
  run();
  ASSERT_TRUE(controls().enabled(c::Timer_300h_ON));
  // A silent pack keeps the shipping-mode set polling (and holding the exchange) for over a second and a half.
  setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x4209, 0}}; });
  std::atomic<bool> commandDone{false};
  std::thread command([&] {
    commands::CanSetShippingModeWorker(tool->link, tool->state);
    commandDone = true;
  });

  const sim::CanKeepAlives before = pack->keepAlives();
  const auto start = std::chrono::steady_clock::now();
  const auto period = platform::scaled(100);
  int ticks = 0;
  bool tickedDuringCommand = false;
  for (int k = 1; k <= 30; ++k) {
    std::this_thread::sleep_until(start + k * period);
    if (!controls().enabled(c::Timer_300h_ON)) break;
    tool->FormMain.onEvent(c::Timer_300h_ON, UiEvent::Timer);
    ++ticks;
    if (!commandDone) tickedDuringCommand = true;
  }
  command.join();
  ASSERT_EQ(ticks, 30);
  EXPECT_TRUE(tickedDuringCommand);
  EXPECT_EQ(text(c::Label_GET_SET_RXCMD), "CMD : Timeout");

  const sim::CanKeepAlives after = pack->keepAlives();
  EXPECT_EQ(after.malformed, 0);
  const std::vector<int64_t> at(after.atMs.begin() + static_cast<long>(before.atMs.size()), after.atMs.end());
  ASSERT_EQ(static_cast<int>(at.size()), ticks);  // none lost, none doubled
  const double mean = static_cast<double>(at.back() - at.front()) / (ticks - 1);
  EXPECT_NEAR(mean, 100.0, 10.0);
}

}  // namespace
}  // namespace qv
