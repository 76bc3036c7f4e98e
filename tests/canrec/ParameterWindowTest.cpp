// The EEPROM parameter window: its requests 0x304, the 0x404 answers that fill its rows, its waits for indexes
// 0 and 1, and its receive timer, over the simulated pack during CAN monitoring and without it.

#include "CanRecRig.h"
#include "eeprom/EEPParaFormControls.h"
#include "support/Bytes.h"
#include "support/OnWorker.h"
#include "support/TimeScale.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qv {
namespace {

namespace para = eeprom::paraCtl;
using eeprom::TForm_EEP_PARA;

// The pack answers these indexes (the others not at all).
const std::map<uint8_t, uint8_t> kParameters = {{0, 3}, {1, 2}, {2, 30}, {7, 12}, {25, 80}, {255, 26}};

struct ParameterWindow : ::testing::Test {
  test::ScopedTimeScale fast{0.05};
  test::CanRecRig rig;
  TForm_EEP_PARA& window = rig.tool.Form_EEP_PARA;

  void SetUp() override {
    sim::CanPackState s = rig.pack->state();
    s.parameters = kParameters;
    rig.pack->setState(s);
  }
  // offWhileReading: the read lasts long enough to see its button off (a read that finds the adapter in another
  // session's hands ends at once and may have given it back already).
  void getAll(bool offWhileReading = true) {
    rig.c.setEnabled(para::SpdBtn_EEPPara_GetAll, true);
    window.onEvent(para::SpdBtn_EEPPara_GetAll, UiEvent::Click);
    if (offWhileReading) {
      EXPECT_FALSE(rig.c.enabled(para::SpdBtn_EEPPara_GetAll));
    }
  }
  QString box(uint8_t index) { return rig.c.text(TForm_EEP_PARA::ParameterBox(index)); }
  void frame404(const char* data) {
    const QByteArray d = test::hex(data);
    rig.tool.canDispatcher.DispatchCanFrame(0, 0x404, reinterpret_cast<const uint8_t*>(d.constData()), 8);
  }
};

TEST_F(ParameterWindow, DuringCanMonitoringTheAnsweredRowsFill) {
  rig.startMonitoring();
  // Monitoring's own answer in the main window's cycle-count box, before the read: a loaded machine may bring
  // the voltage broadcast long before the cycle gets that far.
  ASSERT_TRUE(test::waitFor([&] { return rig.c.text(mainwindow::ctl::Edit_CycleCount) == "57"; }));
  getAll();
  rig.finish("eep-para-read");
  ASSERT_TRUE(test::waitFor([&] { return box(255) == "26"; }));
  for (uint8_t index : {0, 2, 7, 255}) EXPECT_EQ(box(index), QString::number(kParameters.at(index))) << int(index);
  // The last row's index is never asked for, though the pack would answer it.
  EXPECT_EQ(box(25), "");
  // The wake-up line type's box shows index 1's answer alone, not the last answer of the pass.
  EXPECT_EQ(rig.c.text(para::Edit_WakeUpLineType), "2");
  for (uint8_t index : {3, 8, 24}) EXPECT_EQ(box(index), "") << int(index);
  // The main window's box of the same name is its own.
  EXPECT_EQ(rig.c.text(mainwindow::ctl::Edit_CycleCount), "57");
  EXPECT_TRUE(rig.c.enabled(para::SpdBtn_EEPPara_GetAll));
  EXPECT_TRUE(rig.tool.link.canSessionHeld());

  // A keep-alive goes out before the first request.
  const std::vector<test::CanWritten> all = test::canMessagesWritten(rig.adapter->written());
  const auto firstRequest = std::find_if(all.begin(), all.end(), [](const auto& m) { return m.id == 0x304; });
  EXPECT_TRUE(std::any_of(all.begin(), firstRequest, [](const test::CanWritten& m) {
    return m.id == 0x300 && m.data == test::hex("01 5A 00 5A 00 00 00 00");
  }));
  // The requests: indexes 0 to 24, then 0xFF, each asking for answer type 0x92.
  const std::vector<QByteArray> requests = rig.written(0x304);
  ASSERT_EQ(requests.size(), 26u);
  EXPECT_EQ(test::hexText(requests[7]), "92 07 00 00 00 00 00 00");
  EXPECT_EQ(test::hexText(requests[25]), "92 FF 00 00 00 00 00 00");
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(
        test::hexText(requests[i]),
        test::hexText(test::hex("92 00 00 00 00 00 00 00").replace(1, 1, QByteArray(1, char(i < 25 ? i : 0xFF)))));
  }
}

TEST_F(ParameterWindow, APackThatNeverAnswersIndexOneLeavesTheWakeUpLineTypeAsItWas) {
  sim::CanPackState s = rig.pack->state();
  s.parameters.erase(1);
  rig.pack->setState(s);
  rig.startMonitoring();
  rig.c.setText(para::Edit_WakeUpLineType, "before");
  getAll();
  rig.finish("eep-para-read");
  ASSERT_TRUE(test::waitFor([&] { return box(255) == "26"; }));
  EXPECT_EQ(box(0), "3");
  EXPECT_EQ(rig.c.text(para::Edit_WakeUpLineType), "before");
}

TEST_F(ParameterWindow, WithoutMonitoringNothingReadsTheAnswersButTheTimer) {
  // Nothing reads the adapter between the requests: indexes 0 and 1 wait their full time, no row fills.
  getAll();
  rig.finish("eep-para-read");
  EXPECT_EQ(rig.written(0x304).size(), 26u);
  for (const auto& entry : kParameters) EXPECT_EQ(box(entry.first), "") << int(entry.first);
  EXPECT_EQ(rig.tool.link.AdapterHandle.load(), 0u);

  // With the receive timer ticking, the answers come in while the pass waits for indexes 0 and 1.
  getAll();
  while (rig.tool.services.workers.running("eep-para-read") > 0) {
    window.onEvent(para::Timer_EEP_PARA_READ, UiEvent::Timer);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  rig.finish("eep-para-timer");
  EXPECT_EQ(box(0), "3");
  EXPECT_FALSE(rig.c.text(para::Edit_WakeUpLineType).isEmpty());
  EXPECT_EQ(rig.tool.link.AdapterHandle.load(), 0u);
}

TEST_F(ParameterWindow, TheTimerLeavesAnotherSessionsAdapterAlone) {
  ASSERT_TRUE(rig.tool.link.OpenAdapter());  // not a CAN run
  window.onEvent(para::Timer_EEP_PARA_READ, UiEvent::Timer);
  EXPECT_EQ(rig.tool.services.workers.running("eep-para-timer"), 0);
  getAll(false);
  rig.finish("eep-para-read");
  EXPECT_TRUE(rig.c.enabled(para::SpdBtn_EEPPara_GetAll));
  EXPECT_TRUE(rig.written(0x304).empty());
  EXPECT_NE(rig.tool.link.AdapterHandle.load(), 0u);
  rig.tool.link.CloseAdapter();
}

TEST_F(ParameterWindow, AnswersByTypeAndIndex) {
  // Each answer shows in its own index's box alone: the wake-up line type's box (index 1) stays as it was.
  rig.c.setText(para::Edit_WakeUpLineType, "before");
  frame404("92 02 00 00 00 07 00 00");
  EXPECT_EQ(box(2), "7");
  frame404("92 FF 00 00 00 09 00 00");
  EXPECT_EQ(rig.c.text(para::Edit_DF_MAX_NUMBER), "9");
  // Type 0x91 (and 0x90) change nothing; an index without a row changes nothing either.
  frame404("91 03 00 00 00 05 00 00");
  frame404("90 03 00 00 00 05 00 00");
  frame404("91 01 00 00 00 05 00 00");
  EXPECT_EQ(box(3), "");
  frame404("92 63 00 00 00 04 00 00");
  EXPECT_EQ(rig.c.text(para::Edit_WakeUpLineType), "before");
  frame404("92 01 00 00 00 06 00 00");
  EXPECT_EQ(rig.c.text(para::Edit_WakeUpLineType), "6");
  EXPECT_TRUE(rig.c.undeclared().empty()) << rig.c.undeclared().front();
}

TEST_F(ParameterWindow, WaitsForIndexesZeroAndOneOnly) {
  const auto elapsed = [](auto fn) {
    const auto start = std::chrono::steady_clock::now();
    const bool result = test::onWorker(fn);
    return std::pair{result, std::chrono::steady_clock::now() - start};
  };
  // Index 5 is not waited for, even with its answer stored.
  window.StoreParameterAnswer(5, 1);
  EXPECT_FALSE(test::onWorker([&] { return window.ShowParameterValue(5); }));
  EXPECT_FALSE(test::onWorker([&] { return window.DispatchParameterReply(0x92, 0); }));
  // No answer for index 1: the whole wait passes and the box stays as it was.
  rig.c.setText(para::Edit_WakeUpLineType, "x");
  const auto [shown, waited] = elapsed([&] { return window.ShowParameterValue(1); });
  EXPECT_FALSE(shown);
  EXPECT_EQ(rig.c.text(para::Edit_WakeUpLineType), "x");
  EXPECT_GE(waited, std::chrono::microseconds(3000 * 50));
  // An answer stored: shown at once.
  window.StoreParameterAnswer(0, 200);
  rig.c.setText(para::Edit_DF_MIN_NUMBER, "");
  EXPECT_TRUE(test::onWorker([&] { return window.ShowParameterValue(0); }));
  EXPECT_EQ(rig.c.text(para::Edit_DF_MIN_NUMBER), "200");
  EXPECT_TRUE(test::onWorker([&] { return window.ShowParameter(5); }));
}

}  // namespace
}  // namespace qv
