// The UR page's last-charge search in the whole program, without a display, over the simulated pack: the latest
// "Charge Stop" of both lists by its READ button, a second pack after the first, records with a missing part,
// lists without records, the count readers, and the search inside UR2 and UR96 monitoring.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"
#include "support/OnWorker.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <tuple>

namespace qv {
namespace {

namespace mctl = mainwindow::ctl;
using test::waitFor;

constexpr uint8_t kChargeStop = 0x82, kChargeStart = 0x81;

constexpr auto* rec = &sim::eventRecord;

class LastChargeSearchRoad : public ::testing::Test {
 protected:
  void start(const std::string& setup) {
    std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver(setup);
    pack = test::ur2PackBehind(*driver->adapters().at(0));
    ASSERT_TRUE(pack);
    tool = std::make_unique<app::ServiceTool>(std::move(driver));
    test::confirmConfiguration(*tool, link::kProtocolUr);
  }
  void lists(std::vector<sim::SimEepRecord> lead, std::vector<sim::SimEepRecord> last,
             std::set<std::tuple<sim::SimEepList, uint32_t, uint16_t>> silent = {}) {
    sim::Ur2PackState s = pack->state();
    s.eeprom.present = true;
    s.eeprom.lists[1] = std::move(lead);
    s.eeprom.lists[2] = std::move(last);
    s.eeprom.silentParts = std::move(silent);
    pack->setState(s);
  }
  Controls& c() { return tool->services.controls; }
  // READ, then the worker to its end.
  void search() {
    tool->FormMain.onEvent(mctl::SpdBtnLastChgDateGet, UiEvent::Click);
    tool->services.workers.joinAll();
  }

  test::ScopedTimeScale fast{0.02};
  std::shared_ptr<sim::Ur2Pack> pack;
  std::unique_ptr<app::ServiceTool> tool;
};

TEST_F(LastChargeSearchRoad, TheLatestChargeStopOfBothListsAndASecondPackAfterTheFirst) {
  start("ur2");
  const struct {
    const char* what;
    std::vector<sim::SimEepRecord> lead, last;
    std::set<std::tuple<sim::SimEepList, uint32_t, uint16_t>> silent;
    QString date, soc;
  } cases[] = {
      // clang-format off
      {"latest in LEAD",
       {rec(kChargeStop, 60, {18, 5, 1, 10, 0, 0}), rec(kChargeStop, 77, {18, 5, 3, 8, 30, 0})},
       {rec(kChargeStop, 50, {18, 5, 3, 8, 29, 0}), rec(kChargeStart, 99, {19, 1, 1, 0, 0, 0})},
       {}, "2018-5-3 8:30", "77"},
      // Same minute as the kept stamp, later seconds: not later.
      {"same minute",
       {rec(kChargeStop, 40, {18, 6, 1, 9, 15, 1})}, {rec(kChargeStop, 41, {18, 6, 1, 9, 15, 59})}, {},
       "2018-6-1 9:15", "40"},
      // An older pack after the first shows its own last charge.
      {"older pack", {rec(kChargeStop, 20, {17, 2, 3, 4, 5, 6})}, {}, {}, "2017-2-3 4:5", "20"},
      // A later charge whose part 2 did not come is left out, not read with the record before's SOC.
      {"missing part",
       {rec(kChargeStop, 33, {18, 1, 1, 1, 1, 0})}, {rec(kChargeStop, 90, {19, 1, 1, 1, 1, 0})},
       {{sim::SimEepList::Last, 1, 2}}, "2018-1-1 1:1", "33"},
      {"no records", {}, {}, {}, "", "0"},
      // clang-format on
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    lists(k.lead, k.last, k.silent);
    search();
    EXPECT_EQ(c().text(mctl::EditLastChgDate), k.date);
    EXPECT_EQ(c().text(mctl::EditLastChgSOC), k.soc);
    EXPECT_EQ(c().text(mctl::SpdBtnLastChgDateGet), "READ");
    EXPECT_TRUE(c().enabled(mctl::CheckBoxLastChgDate));
    EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
    // The bar is full at the end: every record stepped it, or there was none.
    EXPECT_GE(c().position(mctl::ProgressBarLastChgDate), c().maximum(mctl::ProgressBarLastChgDate) - 2);
  }
}

TEST_F(LastChargeSearchRoad, TheCountReadersReadAfreshAndGiveZeroForASilentPack) {
  start("ur2");
  lists({rec(kChargeStart, 1, {18, 1, 1, 1, 1, 0}), rec(kChargeStart, 1, {18, 1, 1, 1, 1, 0}),
         rec(kChargeStart, 1, {18, 1, 1, 1, 1, 0})},
        {});
  ASSERT_TRUE(tool->link.OpenAdapter());
  tool->state.RunFlag.set(1);
  bool any = false;
  uint16_t lead = 0, last = 99;
  test::onWorker([&] {
    const auto held = tool->link.exchange();
    any = tool->lastChargeSearch.ReadEventCounts();
    lead = tool->lastChargeSearch.ReadEventCount(eeprom::EepList::Lead);
    sim::Ur2PackState s = pack->state();
    s.eeprom.present = false;  // the pack no longer answers
    pack->setState(s);
    last = tool->lastChargeSearch.ReadEventCount(eeprom::EepList::Lead);
  });
  tool->link.CloseAdapter();
  EXPECT_TRUE(any);
  EXPECT_EQ(c().maximum(mctl::ProgressBarEEPRead), 3);
  EXPECT_EQ(lead, 3);
  EXPECT_EQ(last, 0);
}

TEST_F(LastChargeSearchRoad, MonitoringShowsTheGroupAndSearchesWhileTheBoxIsTicked) {
  for (const char* setup : {"ur2", "ur96"}) {
    SCOPED_TRACE(setup);
    start(setup);
    lists({rec(kChargeStop, 64, {18, 9, 9, 9, 9, 0})}, {rec(kChargeStop, 65, {18, 9, 10, 1, 2, 0})});
    c().setChecked(mctl::CheckBoxLastChgDate, true);
    tool->FormMain.onEvent(mctl::SpdBtnRUN, UiEvent::Click);
    EXPECT_TRUE(waitFor([&] { return c().text(mctl::EditLastChgDate) == "2018-9-10 1:2"; }));
    EXPECT_TRUE(c().visible(mctl::GroupBoxLastChgDate));
    EXPECT_EQ(c().text(mctl::EditLastChgSOC), "65");
    tool->FormMain.onEvent(mctl::SpdBtnRUN, UiEvent::Click);  // STOP
    EXPECT_TRUE(waitFor([&] { return tool->services.workers.running() == 0; }));
    tool.reset();
  }
}

}  // namespace
}  // namespace qv
