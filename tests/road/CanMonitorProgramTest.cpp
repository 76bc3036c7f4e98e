// CAN monitoring in the whole program, without a display: the configuration dialog confirmed for "CAN", RUN on
// the main window against the simulated CAN pack shows its broadcasts and answers through the CAN dispatcher
// the composition installs, and every control the decoders write is one the windows declare.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace qv {
namespace {

// The pack behind, answering each of the cell requests once: from the second cycle on the cells stay as the
// first cycle left them. The spread is worked out again at each cell answer, over the cells counted so far in
// that cycle, so a look taken in the middle of a later cycle would see a spread of some of the cells.
class CellsAnsweredOnce : public sim::CanNode {
 public:
  explicit CellsAnsweredOnce(std::shared_ptr<sim::CanPack> pack) : pack_(std::move(pack)) {}
  void receive(const sim::CanFrame& frame, std::vector<sim::CanFrame>& out) override {
    const bool cells = frame.id == 0x440 && (frame.data[0] << 8 | frame.data[1]) == link::msg::kCellVoltages;
    if (cells && !answered_.insert(frame.data[2] << 8 | frame.data[3]).second) return;
    pack_->receive(frame, out);
  }
  void tick(int64_t nowMs, std::vector<sim::CanFrame>& out) override { pack_->tick(nowMs, out); }

 private:
  std::shared_ptr<sim::CanPack> pack_;
  std::set<int> answered_;  // cell indexes; called under the adapter's lock
};

TEST(CanMonitorProgram, RunShowsTheCanPacksBroadcastsAndAnswers) {
  test::ScopedTimeScale fast{0.02};
  auto driver = sim::makeSimDriver("can");
  auto pack = std::dynamic_pointer_cast<sim::CanPack>(driver->adapters().front()->canNode());
  ASSERT_NE(pack, nullptr);
  sim::CanPackState s = pack->state();
  s.rsoc = 4000000000u;  // more than any bar holds
  pack->setState(s);
  driver->adapters().front()->setCanNode(std::make_shared<CellsAnsweredOnce>(pack));
  app::ServiceTool tool(std::move(driver));
  Controls& c = tool.services.controls;
  test::confirmConfiguration(tool, link::kProtocolCan);

  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(test::waitFor([&] {
    return c.text(mainwindow::ctl::EditDesignCapacity) == "10400" &&
           !c.text(mainwindow::ctl::Edit401hPackVoltage).isEmpty();
  }));
  EXPECT_EQ(c.panel(mainwindow::ctl::StatusBarView, 1), " CAN Mode ");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit401hPackVoltage), "42900");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit401hPackCurrent), "-1500");
  EXPECT_EQ(c.color(mainwindow::ctl::Edit400hASR1Bit2CHGFET), colour::Lime);
  EXPECT_EQ(c.text(mainwindow::ctl::EditRSOC), "4000000000");
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOC), c.maximum(mainwindow::ctl::ProgressBarSOC));
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_ModelName), "QVX48-13S4P-A001");
  EXPECT_EQ(c.text(mainwindow::ctl::EditVCell13), "3312");
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell13), 3312);
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_HVlot), "3312");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_VoltDiff), "12");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_RTC), " 2024.5.7  9:5:3");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_FWVer), "1.12");
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_CycleCount), "57");

  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(test::waitFor([&] { return tool.services.workers.running() == 0; }));
  EXPECT_EQ(c.text(mainwindow::ctl::SpdBtnRUN), "RUN");
  EXPECT_TRUE(c.undeclared().empty()) << c.undeclared().front();
}

}  // namespace
}  // namespace qv
