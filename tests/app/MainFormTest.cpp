#include "app/ServiceTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "eeprom/EEPLast10FormControls.h"
#include "eeprom/EEPParaFormControls.h"
#include "eeprom/EEPROMFormControls.h"
#include "eeprom/EEPRecordFormControls.h"
#include "firmware/FWUpgradeFormControls.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainFormPages.h"
#include "mainwindow/PasswordFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"
#include "support/ExeInfoScope.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

const Control kAllPages[] = {mainwindow::ctl::TabSheetUR96,     mainwindow::ctl::TabSheet_BRCAN,
                             mainwindow::ctl::TabSheet_CAN_ENG, mainwindow::ctl::TabSheetKL,
                             mainwindow::ctl::TabSheetST,       mainwindow::ctl::TabSheetVM,
                             mainwindow::ctl::TabSheetEEP,      mainwindow::ctl::TabSheetQV,
                             mainwindow::ctl::TabSheetENG2,     mainwindow::ctl::TabSheet_EVT};

// Answers the main window's requests as a test wants, and records them.
struct RecordingGui : platform::GuiRequests {
  explicit RecordingGui(Controls& c) : controls(c) {}
  bool askYesNo(const QString&, const QString&) override { return false; }
  bool printWindow(Control form) override {
    printed.emplace_back(form);
    printButtonEnabledWhilePrinting = controls.enabled(mainwindow::ctl::SpdBtnPRINT);
    return confirmPrint;
  }
  QString chooseFileToOpen(const QString&) override { return {}; }
  void closeWindow(Control form) override { closed.emplace_back(form); }

  Controls& controls;
  bool confirmPrint = false;
  bool printButtonEnabledWhilePrinting = true;
  std::vector<Control> printed;
  std::vector<Control> closed;
};

// The program as a given executable name starts it, without a display.
class MainFormTest : public ::testing::Test {
 protected:
  void start(const char* exeName, bool versionReadable = true) {
    exe.reset();
    exe.emplace(platform::ExeInfo{QStringLiteral("/opt/quvexa/"), QString::fromLatin1(exeName),
                                  versionReadable ? platform::versionBlockText() : QString()});
    tool = std::make_unique<app::ServiceTool>(sim::makeSimDriver(""));
    gui = std::make_unique<RecordingGui>(tool->services.controls);
    tool->services.setGui(gui.get());
  }
  void TearDown() override {
    if (tool) tool->services.setGui(nullptr);
  }
  Controls& controls() { return tool->services.controls; }
  std::set<Control> shownPages() {
    std::set<Control> shown;
    for (Control page : kAllPages) {
      if (controls().visible(page)) shown.insert(page);
    }
    return shown;
  }

  std::optional<test::ScopedExeInfo> exe;
  std::unique_ptr<app::ServiceTool> tool;
  std::unique_ptr<RecordingGui> gui;
};

TEST_F(MainFormTest, CreationSetsTheFixedDefaults) {
  start("VELMO_ENG");
  Controls& c = controls();
  EXPECT_EQ(c.text(mainwindow::ctl::FormMain), "Quvexa BMS Monitor  ( UR96 ) ");
  EXPECT_EQ(c.color(mainwindow::ctl::FormMain), colour::Background);
  EXPECT_EQ(c.panel(mainwindow::ctl::StatusBarView, 3), "   VELMO_ENG");
  EXPECT_EQ(c.color(mainwindow::ctl::Shape_TX), colour::White);
  EXPECT_EQ(c.color(mainwindow::ctl::Shape_RX), colour::White);
  EXPECT_FALSE(c.visible(mainwindow::ctl::PageControl2));
  EXPECT_EQ(c.itemIndex(mainwindow::ctl::PageControl2), 0);
  EXPECT_EQ(shownPages(), std::set<Control>{mainwindow::ctl::TabSheetEEP});
  EXPECT_EQ(c.text(mainwindow::ctl::CheckBoxEEPROMErase), "");
  EXPECT_FALSE(c.enabled(mainwindow::ctl::Timer_300h_ON));
  for (Control cell : mainwindow::ctl::kCellEdits) EXPECT_EQ(c.text(cell), "0") << cell;
  EXPECT_EQ(c.text(mainwindow::ctl::EditT1), "");
  EXPECT_EQ(c.fontColor(mainwindow::ctl::SpdBtnConfigure), colour::Grey);
  EXPECT_FALSE(c.visible(mainwindow::ctl::SpdBtnUpgrade));
  EXPECT_FALSE(c.visible(mainwindow::ctl::SpdBtnBusHunt));
}

TEST_F(MainFormTest, EveryNameTheWindowsUseIsDeclared) {
  start("VELMO_ENG");
  tool->FormMain.FormShow();
  tool->FormMain.ResetLiveDisplay();
  EXPECT_EQ(controls().undeclared(), std::vector<std::string>{});
}

// Where a control sits: the page it is on (through its groups), or the form itself outside the pages.
Control pageOf(const FormDef& form, Control name) {
  const ControlDef* def = findControl(form, name);
  while (def != nullptr && def->kind != Kind::TabSheet) def = findControl(form, def->parent);
  return def != nullptr ? def->name : kFormItself;
}

TEST_F(MainFormTest, TheCommandButtonsStandOnTheirPagesWithTheirCaptions) {
  start("VELMO_ENG");
  struct Expected {
    Control name;
    Control page;
    const char* caption;
  };
  const Expected expected[] = {
      {mainwindow::ctl::SpdBtnRUN, kFormItself, "RUN"},
      {mainwindow::ctl::BitBtnPrint, mainwindow::ctl::TabSheetVM, "PDF"},
      {mainwindow::ctl::BitBtnSafeInfoRead, mainwindow::ctl::TabSheetEEP, "EEPROM"},
      {mainwindow::ctl::SpdBtnDeepSleep, mainwindow::ctl::TabSheetQV, "Deep Sleep"},
      {mainwindow::ctl::SpdBtnSleep, mainwindow::ctl::TabSheetQV, "Sleep"},
      {mainwindow::ctl::BitBtnBarCodeWrite, mainwindow::ctl::TabSheetQV, "Write"},
      {mainwindow::ctl::BitBtnBarCodeRead, mainwindow::ctl::TabSheetQV, "Read"},
      {mainwindow::ctl::SpdBtnRTCSet, mainwindow::ctl::TabSheetQV, "Set"},
      {mainwindow::ctl::SpdBtnRTCGet, mainwindow::ctl::TabSheetQV, "Get"},
      {mainwindow::ctl::SpdBtnShippingModeSet, mainwindow::ctl::TabSheetQV, "Set"},
      {mainwindow::ctl::SpdBtnShippingModeGet, mainwindow::ctl::TabSheetQV, "Get"},
      {mainwindow::ctl::SpdBtnSNSet, mainwindow::ctl::TabSheetKL, "Set"},
      {mainwindow::ctl::SpdBtnSNGet, mainwindow::ctl::TabSheetKL, "Get"},
      {mainwindow::ctl::SpdBtnConfigure, kFormItself, " Configure "},
      {mainwindow::ctl::SpdBtnExit, kFormItself, "EXIT"},
      {mainwindow::ctl::SpdBtnEEPROMEraseSet, mainwindow::ctl::TabSheetQV, "Set"},
      {mainwindow::ctl::BitBtnPrintReportRead, mainwindow::ctl::TabSheetVM, "READ"},
      {mainwindow::ctl::SpdBtnLastChgDateGet, mainwindow::ctl::TabSheetUR96, "READ"},
      {mainwindow::ctl::SpdBtnChgSW, mainwindow::ctl::TabSheetENG2, "ON"},
      {mainwindow::ctl::SpdBtnDsgSW, mainwindow::ctl::TabSheetENG2, "ON"},
      {mainwindow::ctl::SpdBtnBtyVoltRead, mainwindow::ctl::TabSheetENG2, "Read"},
      {mainwindow::ctl::SpdBtnDsgVoltRead, mainwindow::ctl::TabSheetENG2, "Read"},
      {mainwindow::ctl::SpdBtnChgVoltRead, mainwindow::ctl::TabSheetENG2, "Read"},
      {mainwindow::ctl::SpdBtnSOCRead, mainwindow::ctl::TabSheetENG2, "Read"},
      {mainwindow::ctl::BitBtnWCellmOmhAdjust, mainwindow::ctl::TabSheetQV, "Write"},
      {mainwindow::ctl::BitBtnCellRPrarmLoad, mainwindow::ctl::TabSheetQV, "Load"},
      {mainwindow::ctl::BitBtnRCellmOmhAdjust, mainwindow::ctl::TabSheetQV, "Read"},
      {mainwindow::ctl::BitBtn_EEP_READ, mainwindow::ctl::TabSheet_CAN_ENG, "EEP Read"},
      {mainwindow::ctl::BitBtn_EEP_PARA, mainwindow::ctl::TabSheetEEP, "EEP PARA"},
      {mainwindow::ctl::SpdBtnPRINT, kFormItself, "PDF"},
      {mainwindow::ctl::SpdBtnUpgrade, kFormItself, " Upgrade "},
      {mainwindow::ctl::SpdBtnBusHunt, kFormItself, " Bus Hunt "},
  };
  const FormDef& form = tool->FormMain.form();
  for (const Expected& e : expected) {
    ASSERT_NE(findControl(form, e.name), nullptr) << e.name;
    EXPECT_EQ(pageOf(form, e.name), e.page) << e.name;
    EXPECT_EQ(controls().text(e.name), e.caption) << e.name;
  }
  // The UR service buttons wait for the configuration dialog's Yes.
  for (Control name : {mainwindow::ctl::SpdBtnSleep, mainwindow::ctl::SpdBtnDeepSleep, mainwindow::ctl::SpdBtnRTCSet,
                       mainwindow::ctl::SpdBtnSNGet, mainwindow::ctl::SpdBtnEEPROMEraseSet})
    EXPECT_FALSE(controls().enabled(name)) << name;
}

// The pages and caption each executable name gives when the main window is shown.
TEST_F(MainFormTest, ShowingTheWindowAppliesTheProfileOfTheExecutableName) {
  const std::string design = "Quvexa BMS Monitor  ( UR96 ) ";
  const std::set<Control> eepOnly{mainwindow::ctl::TabSheetEEP};
  const std::set<Control> withCanService{mainwindow::ctl::TabSheetEEP, mainwindow::ctl::TabSheet_CAN_ENG};
  struct Case {
    const char* exeName;
    bool versionReadable;
    std::string caption;
    std::set<Control> pages;
  };
  const Case cases[] = {
      // clang-format off
      {"VELMO_LIT7", true, "VELMO_LIT_V1.0.4", {}},
      {"VELMO_LIT", false, "VELMO_LIT_", {}},
      {"velmo_lit", true, "VELMO_XXX_V1.0.4", {}},
      {"quvexa", false, "VELMO_XXX_", {}},
      {"VELMO_ENG", true, design, withCanService},
      {"VELMO_EVT_line2", true, design, withCanService},
      {"VELMO_DEBUG", true, design, eepOnly},
      {"VELMO_DIA", true, design, eepOnly},
      {"VELMO_EEP", false, design, eepOnly},
      // clang-format on
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.exeName);
    start(k.exeName, k.versionReadable);
    tool->FormMain.onEvent(mainwindow::ctl::FormMain, UiEvent::Show);
    EXPECT_EQ(controls().text(mainwindow::ctl::FormMain).toStdString(), k.caption);
    EXPECT_EQ(shownPages(), k.pages);
    EXPECT_FALSE(controls().visible(mainwindow::ctl::PageControl2));
    tool->services.setGui(nullptr);
    tool.reset();
  }
}

// Showing the window, then the protocol choice, then Yes: the pages and the caption each name ends with.
TEST_F(MainFormTest, TheProtocolChoiceAndYesShowTheProfilesPages) {
  const std::string design = "Quvexa BMS Monitor  ( UR96 ) ";
  const std::set<Control> urPages{mainwindow::ctl::TabSheetUR96, mainwindow::ctl::TabSheetEEP};
  const std::set<Control> canPages{mainwindow::ctl::TabSheet_BRCAN};
  const std::set<Control> canServicePages{mainwindow::ctl::TabSheet_BRCAN, mainwindow::ctl::TabSheet_CAN_ENG};
  struct Case {
    const char* exeName;
    bool versionReadable;
    int protocol;  // 0 "UR", 1 "CAN"
    std::string caption;
    std::set<Control> pages;
  };
  const Case cases[] = {
      {"VELMO_LIT", true, 0, "VELMO_LIT_V1.0.4", urPages},
      {"VELMO_LIT", false, 0, "VELMO_LIT_", urPages},
      {"VELMO_LIT", true, 1, "VELMO_LIT_V1.0.4", canServicePages},
      {"VELMO_lit", true, 0, "VELMO_XXX_V1.0.4", urPages},
      {"VELMO_lit", false, 1, "VELMO_XXX_", canPages},
      {"VELMO_ENG", true, 0, design, urPages},
      {"VELMO_ENG", true, 1, design, canServicePages},
      {"VELMO_EVT", true, 0, design, urPages},
      {"VELMO_EVT", true, 1, design, canServicePages},
      {"VELMO_DEBUG", true, 0, design, urPages},
      {"VELMO_DIA", true, 1, design, canPages},
      {"VELMO_EEP", false, 1, design, canPages},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.exeName) + (k.protocol == 0 ? " UR" : " CAN"));
    start(k.exeName, k.versionReadable);
    Controls& c = controls();
    tool->FormMain.onEvent(mainwindow::ctl::FormMain, UiEvent::Show);
    tool->FormMain.onEvent(mainwindow::ctl::SpdBtnConfigure, UiEvent::Click);

    c.setItemIndex(link::ctl::RadioGroup_Protocol, k.protocol);
    tool->FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
    EXPECT_EQ(shownPages(), k.pages) << "the choice switches the pages at once";
    EXPECT_FALSE(c.visible(mainwindow::ctl::PageControl2));

    c.setItemIndex(mainwindow::ctl::PageControl2, 3);
    tool->FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
    EXPECT_EQ(shownPages(), k.pages);
    EXPECT_EQ(c.text(mainwindow::ctl::FormMain).toStdString(), k.caption);
    EXPECT_TRUE(c.visible(mainwindow::ctl::PageControl2));
    EXPECT_TRUE(c.enabled(mainwindow::ctl::FormMain));
    EXPECT_FALSE(c.visible(link::ctl::FormConfig));
    EXPECT_EQ(c.itemIndex(mainwindow::ctl::PageControl2), k.protocol == 0 ? 0 : 3) << "UR selects the first tab";
    EXPECT_EQ(c.enabled(mainwindow::ctl::GroupBoxLastChgDate), k.protocol == 0);
    tool->services.setGui(nullptr);
    tool.reset();
  }
}

TEST_F(MainFormTest, ShowingTheWindowDatesItAndTitlesTheChart) {
  start("VELMO_ENG");
  tool->FormMain.FormShow();
  EXPECT_EQ(mainwindow::PrintDateText(QDateTime(QDate(2024, 3, 7), QTime(9, 0))), "03/07/2024");
  EXPECT_EQ(controls().text(mainwindow::ctl::LabelPRINTDate), mainwindow::PrintDateText(platform::now()));
  EXPECT_EQ(controls().color(mainwindow::ctl::LabelPRINTDate), colour::Background);
  EXPECT_EQ(controls().text(mainwindow::ctl::Chart1), "---  SOC  ---");
}

TEST_F(MainFormTest, GaugesAndBarsFollowTheNumbersOfTheirBoxes) {
  start("VELMO_ENG");
  Controls& c = controls();
  c.setText(mainwindow::ctl::EditVCell5, "3300");
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell5), 3300);
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell4), 0);
  c.setText(mainwindow::ctl::EditVCell5, "33x0");  // not a number: the gauge stays, nothing is thrown
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell5), 3300);
  c.setText(mainwindow::ctl::EditVCell5, "");
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell5), 3300);
  c.setText(mainwindow::ctl::EditVCell13, "99999999999");  // beyond the range, and beyond an int
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell13), 5000);
  c.setText(mainwindow::ctl::EditVCell13, "-12");
  EXPECT_EQ(c.position(mainwindow::ctl::CGaugeVCell13), 0);

  c.setText(mainwindow::ctl::EditASOC, "97");
  c.setText(mainwindow::ctl::EditRSOC, "64");
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOH), 97);
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOC), 64);
  c.setMaximum(mainwindow::ctl::ProgressBarSOC, 200);  // the UR74 record counts in half percent
  c.setText(mainwindow::ctl::EditRSOC, "150");
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOC), 150);
  c.setText(mainwindow::ctl::EditRSOC, "n/a");
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOC), 150);
}

TEST_F(MainFormTest, ResettingTheLiveDisplayClearsEveryLiveValue) {
  start("VELMO_ENG");
  Controls& c = controls();
  const Control emptied[] = {mainwindow::ctl::EditFWID, mainwindow::ctl::EditFWVer, mainwindow::ctl::EditPDSN,
                             mainwindow::ctl::EditT1,   mainwindow::ctl::EditT2,    mainwindow::ctl::EditT3};
  const Control zeroed[] = {
      mainwindow::ctl::EditCycleCnt, mainwindow::ctl::EditDC,         mainwindow::ctl::EditFCC,
      mainwindow::ctl::EditRC,       mainwindow::ctl::EditPackVolt,   mainwindow::ctl::EditPackCurrent,
      mainwindow::ctl::EditTCC,      mainwindow::ctl::EditCellSeries, mainwindow::ctl::EditCellParallel,
      mainwindow::ctl::EditASOC,     mainwindow::ctl::EditRSOC,       mainwindow::ctl::EditVCell14,
      mainwindow::ctl::Edit_HVlot,   mainwindow::ctl::Edit_LVolt,     mainwindow::ctl::Edit_VoltDiff};
  for (Control name : emptied) c.setText(name, "x");
  for (Control name : zeroed) c.setText(name, "12");
  for (Control cell : mainwindow::ctl::kCellEdits) c.setText(cell, "3456");
  for (Control flag : mainwindow::ctl::kFlagEdits) {
    c.setColor(flag, colour::Red);
    c.setFontColor(flag, colour::White);
  }
  c.setText(mainwindow::ctl::EditCurrentSign, " Charging ");
  c.setColor(mainwindow::ctl::EditCurrentSign, colour::Red);

  tool->FormMain.ResetLiveDisplay();

  for (Control name : emptied) EXPECT_EQ(c.text(name), "") << name;
  for (Control name : zeroed) EXPECT_EQ(c.text(name), "0") << name;
  for (size_t i = 0; i < mainwindow::ctl::kCellEdits.size(); ++i) {
    EXPECT_EQ(c.text(mainwindow::ctl::kCellEdits[i]), "0");
    EXPECT_EQ(c.position(mainwindow::ctl::kCellGauges[i]), 0);
  }
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOH), 0);
  EXPECT_EQ(c.position(mainwindow::ctl::ProgressBarSOC), 0);
  for (Control flag : mainwindow::ctl::kFlagEdits) {
    EXPECT_EQ(c.fontColor(flag), colour::Navy) << flag;
    EXPECT_EQ(c.color(flag), colour::Parent) << flag;
  }
  EXPECT_EQ(c.text(mainwindow::ctl::EditCurrentSign), " - None - ");
  EXPECT_EQ(c.color(mainwindow::ctl::EditCurrentSign), colour::ButtonFace);
}

TEST_F(MainFormTest, FrameButtons) {
  start("VELMO_ENG");
  Controls& c = controls();
  mainwindow::TFormMain& main = tool->FormMain;

  c.setVisible(mainwindow::ctl::PageControl2, true);
  main.onEvent(mainwindow::ctl::SpdBtnConfigure, UiEvent::Click);
  EXPECT_FALSE(c.visible(mainwindow::ctl::PageControl2));
  EXPECT_FALSE(c.enabled(mainwindow::ctl::FormMain));
  EXPECT_TRUE(c.visible(link::ctl::FormConfig));

  c.setVisible(mainwindow::ctl::FormMain, true);
  main.onEvent(mainwindow::ctl::SpdBtnUpgrade, UiEvent::Click);
  EXPECT_FALSE(c.visible(mainwindow::ctl::FormMain));
  EXPECT_TRUE(c.visible(firmware::ctl::FormFWUpgrade));

  for (Control button :
       {mainwindow::ctl::SpdBtnConfigure, mainwindow::ctl::SpdBtnBusHunt, mainwindow::ctl::SpdBtnUpgrade}) {
    main.onEvent(button, UiEvent::MouseEnter);
    EXPECT_EQ(c.fontColor(button), colour::Blue) << button;
    main.onEvent(button, UiEvent::MouseLeave);
    EXPECT_EQ(c.fontColor(button), colour::Grey) << button;
  }
  main.onEvent(mainwindow::ctl::SpdBtnExit, UiEvent::MouseEnter);
  EXPECT_EQ(c.fontColor(mainwindow::ctl::SpdBtnExit), colour::WindowText);

  c.setEnabled(mainwindow::ctl::Timer_300h_ON, true);
  main.onEvent(mainwindow::ctl::SpdBtnExit, UiEvent::Click);
  EXPECT_FALSE(c.enabled(mainwindow::ctl::Timer_300h_ON));
  EXPECT_EQ(gui->closed, std::vector<Control>{mainwindow::ctl::FormMain});
}

TEST_F(MainFormTest, PrintingHoldsTheButtonOffUntilItIsDone) {
  start("VELMO_ENG");
  for (bool confirm : {false, true}) {
    gui->confirmPrint = confirm;
    tool->FormMain.onEvent(mainwindow::ctl::SpdBtnPRINT, UiEvent::Click);
    EXPECT_FALSE(gui->printButtonEnabledWhilePrinting);
    if (confirm) {
      // Printed: PDF stays off for the pause, which its timer ends without the GUI thread waiting for it.
      EXPECT_FALSE(controls().enabled(mainwindow::ctl::SpdBtnPRINT));
      EXPECT_TRUE(controls().enabled(mainwindow::ctl::printPauseTimer));
      tool->FormMain.onEvent(mainwindow::ctl::printPauseTimer, UiEvent::Timer);
      EXPECT_FALSE(controls().enabled(mainwindow::ctl::printPauseTimer));
    }
    EXPECT_TRUE(controls().enabled(mainwindow::ctl::SpdBtnPRINT)) << "cancelled or printed, PDF is enabled again";
  }
  EXPECT_EQ(gui->printed, (std::vector<Control>{mainwindow::ctl::FormMain, mainwindow::ctl::FormMain}));
}

TEST_F(MainFormTest, TheNineWindowsComeInTheirOrder) {
  start("VELMO_ENG");
  std::vector<Control> names;
  for (FormLogic* w : tool->windows()) names.emplace_back(w->form().name);
  EXPECT_EQ(names, (std::vector<Control>{mainwindow::ctl::FormMain, link::ctl::FormConfig,
                                         mainwindow::passwordCtl::FormPassWord, firmware::ctl::FormFWUpgrade,
                                         eeprom::eepromCtl::FormEEPROM, eeprom::diagnosisReportCtl::FormDiagnosisReport,
                                         eeprom::last10Ctl::FormEEPLast10, eeprom::recordCtl::FormEEP_Record,
                                         eeprom::paraCtl::Form_EEP_PARA}));
  for (Control name : names) EXPECT_FALSE(controls().visible(name)) << name;
}

}  // namespace
}  // namespace qv
