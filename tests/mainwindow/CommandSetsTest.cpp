// The command set and the run-start set: what each switches, what it leaves alone, and "PDF", which only the
// report read gives back.

#include "mainwindow/CommandSets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace qv::mainwindow {
namespace {

class CommandSets : public ::testing::Test {
 protected:
  CommandSets() {
    for (const char* name : kCommandSet) controls.declare(name, {});
    ControlState run;
    run.text = QStringLiteral("RUN");
    controls.declare("SpdBtnRUN", run);
    controls.declare("SpdBtn_Barcode32_R", {});  // a CAN command: in neither set
    controls.takeChanged();
  }

  std::set<std::string> changed() {
    const std::vector<std::string> names = controls.takeChanged();
    return {names.begin(), names.end()};
  }

  Controls controls;
};

TEST_F(CommandSets, CommandSetSwitchesAllButGivesPdfBackNever) {
  SetCommandButtonsEnabled(controls, false);
  EXPECT_EQ(changed(), std::set<std::string>(kCommandSet.begin(), kCommandSet.end()));
  for (const char* name : kCommandSet) EXPECT_FALSE(controls.enabled(name)) << name;
  EXPECT_FALSE(controls.enabled("FormEEPROM"));
  EXPECT_TRUE(controls.enabled("SpdBtn_Barcode32_R"));

  SetCommandButtonsEnabled(controls, true);
  for (const char* name : kCommandSet) {
    EXPECT_EQ(controls.enabled(name), std::string(name) != "BitBtnPrint") << name;
  }

  // Enabled by the report read, "PDF" keeps that state too.
  controls.setEnabled("BitBtnPrint", true);
  SetCommandButtonsEnabled(controls, true);
  EXPECT_TRUE(controls.enabled("BitBtnPrint"));
}

TEST_F(CommandSets, RunStartSetSwitchesOffOnlyWhileRunReadsStop) {
  UpdateRunStopButtons(controls);
  EXPECT_TRUE(changed().empty());

  controls.setText("SpdBtnRUN", QStringLiteral("STOP"));
  controls.takeChanged();
  UpdateRunStopButtons(controls);
  EXPECT_EQ(changed(), std::set<std::string>(kRunStartSet.begin(), kRunStartSet.end()));
  for (const char* name : kRunStartSet) EXPECT_FALSE(controls.enabled(name)) << name;
  EXPECT_TRUE(controls.enabled("SpdBtnRUN"));  // it has to stop the run
}

TEST_F(CommandSets, EndOfRunGivesBackWhatRunTook) {
  // Monitoring ends with the command set switched on: every run-start control must be in it.
  for (const char* name : kRunStartSet) {
    EXPECT_NE(std::find_if(kCommandSet.begin(), kCommandSet.end(),
                           [&](const char* n) { return std::string(n) == name; }),
              kCommandSet.end())
        << name;
  }
}

}  // namespace
}  // namespace qv::mainwindow
