// The command set and the run-start set: what each switches, what it leaves alone, and "PDF", which only the
// report read gives back.

#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Unit1MainForm.h"
#include "support/BareStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace qv::mainwindow {
namespace {

// The EEPROM window's members, as the composition hands them in.
namespace eepctl {
QV_CONTROL(BitBtnEEPBlockChoiceRead);
QV_CONTROL(BitBtnEEPRange);
QV_CONTROL(BitBtnEEPPreView);
QV_CONTROL(FormEEPROM);
}  // namespace eepctl

// The command set in its order, the EEPROM window's members as the fixture installs them.
// clang-format off
const std::vector<std::string> kCommandSetNames = {
    "SpdBtnRUN", "BitBtnPrint", "BitBtnSafeInfoRead", "SpdBtnDeepSleep",
    "SpdBtnSleep", "BitBtnBarCodeWrite", "BitBtnBarCodeRead", "SpdBtnRTCSet",
    "SpdBtnRTCGet", "SpdBtnShippingModeSet", "SpdBtnShippingModeGet", "SpdBtnSNSet",
    "SpdBtnSNGet", "SpdBtnConfigure", "SpdBtnExit", "SpdBtnEEPROMEraseSet",
    "BitBtnPrintReportRead", "SpdBtnLastChgDateGet", "BitBtnEEPBlockChoiceRead", "BitBtnEEPRange",
    "BitBtnEEPPreView", "FormEEPROM", "SpdBtnChgSW", "SpdBtnDsgSW",
    "SpdBtnBtyVoltRead", "SpdBtnDsgVoltRead", "SpdBtnChgVoltRead", "SpdBtnSOCRead",
    "BitBtnWCellmOmhAdjust", "BitBtnCellRPrarmLoad", "BitBtnRCellmOmhAdjust"};
// clang-format on

// The run-start set in its order.
// clang-format off
const std::vector<std::string> kRunStartSetNames = {
    "BitBtnPrint", "BitBtnSafeInfoRead", "SpdBtnDeepSleep", "SpdBtnSleep",
    "BitBtnBarCodeWrite", "BitBtnBarCodeRead", "SpdBtnRTCSet", "SpdBtnRTCGet",
    "SpdBtnShippingModeSet", "SpdBtnShippingModeGet", "SpdBtnSNSet", "SpdBtnSNGet",
    "SpdBtnConfigure", "SpdBtnExit", "SpdBtnEEPROMEraseSet", "BitBtnPrintReportRead"};
// clang-format on

template <typename Names>
std::vector<std::string> keysInOrder(const Names& names) {
  std::vector<std::string> keys;
  for (Control n : names) keys.emplace_back(n.key());
  return keys;
}

std::set<std::string> asSet(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

class CommandSets : public ::testing::Test {
 protected:
  CommandSets() {
    InstallEepromWindowCommandSet(
        {eepctl::BitBtnEEPBlockChoiceRead, eepctl::BitBtnEEPRange, eepctl::BitBtnEEPPreView, eepctl::FormEEPROM});
    // Every control of the main window, and the EEPROM window's members, enabled.
    test::declareBare(controls, MainFormDef());
    for (Control name :
         {eepctl::BitBtnEEPBlockChoiceRead, eepctl::BitBtnEEPRange, eepctl::BitBtnEEPPreView, eepctl::FormEEPROM})
      controls.declare(name, {});
    controls.setText(ctl::SpdBtnRUN, QStringLiteral("RUN"));
    controls.takeChanged();
  }

  std::set<std::string> changed() {
    const std::vector<std::string> names = controls.takeChanged();
    return {names.begin(), names.end()};
  }

  Controls controls;
};

TEST_F(CommandSets, EachSetHoldsItsControlsInTheirOrder) {
  EXPECT_EQ(keysInOrder(CommandSet()), kCommandSetNames);
  EXPECT_EQ(keysInOrder(kRunStartSet), kRunStartSetNames);
}

TEST_F(CommandSets, CommandSetSwitchesAllButGivesPdfBackNever) {
  SetCommandButtonsEnabled(controls, false);
  EXPECT_EQ(changed(), asSet(kCommandSetNames));
  EXPECT_FALSE(controls.enabled(eepctl::FormEEPROM));
  EXPECT_TRUE(controls.enabled(ctl::SpdBtn_Barcode32_R));  // a CAN command: in neither set

  SetCommandButtonsEnabled(controls, true);
  std::set<std::string> back = asSet(kCommandSetNames);
  back.erase("BitBtnPrint");
  EXPECT_EQ(changed(), back);
  EXPECT_FALSE(controls.enabled(ctl::BitBtnPrint));

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
  EXPECT_EQ(changed(), asSet(kRunStartSetNames));
  EXPECT_TRUE(controls.enabled(ctl::SpdBtnRUN));  // it has to stop the run
}

TEST_F(CommandSets, EndOfRunGivesBackWhatRunTook) {
  // Monitoring ends with the command set switched on: every run-start control must be in it.
  const std::set<std::string> commandSet = asSet(kCommandSetNames);
  for (const std::string& name : kRunStartSetNames) EXPECT_TRUE(commandSet.count(name)) << name;
}

}  // namespace
}  // namespace qv::mainwindow
