// The command set and the run-start set: what each switches, what it leaves alone, and "PDF", which only the
// report read gives back.

#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace qv::mainwindow {
namespace {

// The EEPROM window's members, as the composition hands them in.
namespace eepctl {
QV_CONTROL(BitBtnEEPBlockChoiceRead);
QV_CONTROL(BitBtnEEPRange);
QV_CONTROL(BitBtnEEPPreView);
QV_CONTROL(FormEEPROM);
}  // namespace eepctl

class CommandSets : public ::testing::Test {
 protected:
  CommandSets() {
    InstallEepromWindowCommandSet(
        {eepctl::BitBtnEEPBlockChoiceRead, eepctl::BitBtnEEPRange, eepctl::BitBtnEEPPreView, eepctl::FormEEPROM});
    kCommandSet = CommandSet();
    for (Control name : kCommandSet) controls.declare(name, {});
    ControlState run;
    run.text = QStringLiteral("RUN");
    controls.declare(ctl::SpdBtnRUN, run);
    controls.declare(ctl::SpdBtn_Barcode32_R, {});  // a CAN command: in neither set
    controls.takeChanged();
  }

  template <typename Names>
  static std::set<std::string> keysOf(const Names& names) {
    std::set<std::string> keys;
    for (Control n : names) keys.emplace(n.key());
    return keys;
  }
  std::set<std::string> changed() {
    const std::vector<std::string> names = controls.takeChanged();
    return {names.begin(), names.end()};
  }

  std::array<Control, 31> kCommandSet;
  Controls controls;
};

TEST_F(CommandSets, CommandSetSwitchesAllButGivesPdfBackNever) {
  SetCommandButtonsEnabled(controls, false);
  EXPECT_EQ(changed(), keysOf(kCommandSet));
  for (Control name : kCommandSet) EXPECT_FALSE(controls.enabled(name)) << name;
  EXPECT_FALSE(controls.enabled(eepctl::FormEEPROM));
  EXPECT_TRUE(controls.enabled(ctl::SpdBtn_Barcode32_R));

  SetCommandButtonsEnabled(controls, true);
  for (Control name : kCommandSet) {
    EXPECT_EQ(controls.enabled(name), name != ctl::BitBtnPrint) << name;
  }

  // Enabled by the report read, "PDF" keeps that state too.
  controls.setEnabled(ctl::BitBtnPrint, true);
  SetCommandButtonsEnabled(controls, true);
  EXPECT_TRUE(controls.enabled(ctl::BitBtnPrint));
}

TEST_F(CommandSets, RunStartSetSwitchesOffOnlyWhileRunReadsStop) {
  UpdateRunStopButtons(controls);
  EXPECT_TRUE(changed().empty());

  controls.setText(ctl::SpdBtnRUN, QStringLiteral("STOP"));
  controls.takeChanged();
  UpdateRunStopButtons(controls);
  EXPECT_EQ(changed(), keysOf(kRunStartSet));
  for (Control name : kRunStartSet) EXPECT_FALSE(controls.enabled(name)) << name;
  EXPECT_TRUE(controls.enabled(ctl::SpdBtnRUN));  // it has to stop the run
}

TEST_F(CommandSets, EndOfRunGivesBackWhatRunTook) {
  // Monitoring ends with the command set switched on: every run-start control must be in it.
  for (Control name : kRunStartSet) {
    EXPECT_NE(std::find_if(kCommandSet.begin(), kCommandSet.end(), [&](Control n) { return n == name; }),
              kCommandSet.end())
        << name;
  }
}

}  // namespace
}  // namespace qv::mainwindow
