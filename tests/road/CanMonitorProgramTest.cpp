// CAN monitoring in the whole program, without a display: the configuration dialog confirmed for "CAN", RUN on
// the main window against the simulated CAN pack shows its broadcasts and answers through the CAN dispatcher
// the composition installs, and every control the decoders write is one the windows declare.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace qv {
namespace {

bool waitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(CanMonitorProgram, RunShowsTheCanPacksBroadcastsAndAnswers) {
  test::ScopedTimeScale fast{0.02};
  auto driver = sim::makeSimDriver("can");
  auto pack = std::dynamic_pointer_cast<sim::CanPack>(driver->adapters().front()->canNode());
  ASSERT_NE(pack, nullptr);
  sim::CanPackState s = pack->state();
  s.rsoc = 4000000000u;  // more than any bar holds
  pack->setState(s);
  app::ServiceTool tool(std::move(driver));
  Controls& c = tool.services.controls;
  c.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
  tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  tool.services.workers.joinAll();
  c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);

  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(waitFor([&] {
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
  ASSERT_TRUE(waitFor([&] { return tool.services.workers.running() == 0; }));
  EXPECT_EQ(c.text(mainwindow::ctl::SpdBtnRUN), "RUN");
  EXPECT_TRUE(c.undeclared().empty()) << c.undeclared().front();
}

}  // namespace
}  // namespace qv
