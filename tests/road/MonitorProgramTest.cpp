// Monitoring in the whole program, without a display: the configuration dialog confirmed, RUN on the main window
// against the simulated UR2 pack shows its live values through the installed dispatcher, every control it
// touches is one the windows declare, and closing the program ends a run that is still going.

#include "app/ServiceTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/SimSetups.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qv {
namespace {

using test::waitFor;

class MonitorProgram : public ::testing::Test {
 protected:
  void start(const std::string& setup, int protocol = 0) {
    tool = std::make_unique<app::ServiceTool>(sim::makeSimDriver(setup));
    test::confirmConfiguration(*tool, protocol);
  }
  void clickRun() { tool->FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click); }
  Controls& controls() { return tool->services.controls; }

  test::ScopedTimeScale fast{0.02};
  std::unique_ptr<app::ServiceTool> tool;
};

TEST_F(MonitorProgram, RunShowsTheUr2PacksLiveValues) {
  start("ur2");
  controls().setText(mainwindow::ctl::EditPDSN, QStringLiteral("left from before"));
  clickRun();
  EXPECT_EQ(controls().text(mainwindow::ctl::EditPDSN), "");  // the live display was cleared first
  // The spread is shown after the cells of an answer: once it covers cell 13, the cells are all there.
  ASSERT_TRUE(waitFor([&] { return controls().text(mainwindow::ctl::Edit_HVlot) == "3313"; }));
  EXPECT_EQ(controls().panel(mainwindow::ctl::StatusBarView, 1), " UR2 Mode ");
  EXPECT_EQ(controls().text(mainwindow::ctl::EditFWID), "QVU2-13S");
  EXPECT_EQ(controls().text(mainwindow::ctl::EditVCell13), "3313");
  EXPECT_EQ(controls().position(mainwindow::ctl::CGaugeVCell13), 3313);  // the gauge follows its box

  clickRun();
  ASSERT_TRUE(waitFor([&] { return tool->services.workers.running() == 0; }));
  EXPECT_EQ(controls().text(mainwindow::ctl::SpdBtnRUN), "RUN");
  EXPECT_EQ(controls().panel(mainwindow::ctl::StatusBarView, 0), "  SYS : < STOP > ");
  EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
  EXPECT_TRUE(controls().enabled(mainwindow::ctl::SpdBtnExit));
  EXPECT_TRUE(controls().undeclared().empty()) << controls().undeclared().front();
}

TEST_F(MonitorProgram, Ur96RunShowsTheRecordAndTheCellsFromPackFrames) {
  start("ur96");
  clickRun();
  // The spread follows the cells received so far: once its lowest is the pack's lowest, all cells are there.
  ASSERT_TRUE(waitFor([&] { return controls().text(mainwindow::ctl::Edit_LVolt) == "3697"; }));
  EXPECT_EQ(controls().panel(mainwindow::ctl::StatusBarView, 1), " UR96 Mode ");
  EXPECT_EQ(controls().text(mainwindow::ctl::EditPackVolt), "48100");
  EXPECT_EQ(controls().text(mainwindow::ctl::EditVCell1), "3698");
  EXPECT_EQ(controls().text(mainwindow::ctl::Edit_HVlot), "3703");
  clickRun();
  ASSERT_TRUE(waitFor([&] { return tool->services.workers.running() == 0; }));
  EXPECT_TRUE(controls().undeclared().empty()) << controls().undeclared().front();
}

TEST_F(MonitorProgram, ClosingTheProgramEndsARun) {
  const struct {
    const char* setup;
    int protocol;
    const char* mode;
  } cases[] = {
      {"ur74", 0, " UR74 Mode "}, {"ur96", 0, " UR96 Mode "}, {"ur2", 0, " UR2 Mode "}, {"can", 1, " CAN Mode "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    start(c.setup, c.protocol);
    clickRun();
    ASSERT_TRUE(waitFor([&] { return controls().panel(mainwindow::ctl::StatusBarView, 1) == c.mode; }));
    // A few cycles: each shows the first cell again once this thread has emptied it.
    for (int cycle = 0; cycle < 3; ++cycle) {
      controls().setText(mainwindow::ctl::EditVCell1, QString());
      ASSERT_TRUE(waitFor([&] { return !controls().text(mainwindow::ctl::EditVCell1).isEmpty(); })) << cycle;
    }
    EXPECT_TRUE(controls().undeclared().empty()) << controls().undeclared().front();
    tool.reset();  // joins the worker: it must see the flag and finish its step
  }
}

}  // namespace
}  // namespace qv
