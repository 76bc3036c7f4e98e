#include "app/ServiceTool.h"
#include "mainwindow/MainFormPages.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

const char* const kAllPages[] = {"TabSheetUR96", "TabSheet_BRCAN", "TabSheet_CAN_ENG", "TabSheetKL",  "TabSheetST",
                                 "TabSheetVM",   "TabSheetEEP",    "TabSheetQV",       "TabSheetENG2", "TabSheet_EVT"};

// Answers the main window's requests as a test wants, and records them.
struct RecordingGui : platform::GuiRequests {
  explicit RecordingGui(Controls& c) : controls(c) {}
  bool askYesNo(const QString&, const QString&) override { return false; }
  bool printWindow(std::string_view form) override {
    printed.emplace_back(form);
    printButtonEnabledWhilePrinting = controls.enabled("SpdBtnPRINT");
    return confirmPrint;
  }
  QString chooseFileToOpen(const QString&) override { return {}; }
  void closeWindow(std::string_view form) override { closed.emplace_back(form); }

  Controls& controls;
  bool confirmPrint = false;
  bool printButtonEnabledWhilePrinting = true;
  std::vector<std::string> printed;
  std::vector<std::string> closed;
};

// The program as a given executable name starts it, without a display.
class MainFormTest : public ::testing::Test {
 protected:
  void start(const char* exeName, bool versionReadable = true) {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QString::fromLatin1(exeName)});
    platform::setVersionBlockReadable(versionReadable);
    tool = std::make_unique<app::ServiceTool>(sim::makeSimDriver(""));
    gui = std::make_unique<RecordingGui>(tool->services.controls);
    tool->services.setGui(gui.get());
  }
  void TearDown() override {
    if (tool) tool->services.setGui(nullptr);
    platform::setVersionBlockReadable(true);
  }
  Controls& controls() { return tool->services.controls; }
  std::set<std::string> shownPages() {
    std::set<std::string> shown;
    for (const char* page : kAllPages) {
      if (controls().visible(page)) shown.insert(page);
    }
    return shown;
  }

  std::unique_ptr<app::ServiceTool> tool;
  std::unique_ptr<RecordingGui> gui;
};

TEST_F(MainFormTest, CreationSetsTheFixedDefaults) {
  start("VELMO_ENG");
  Controls& c = controls();
  EXPECT_EQ(c.text("FormMain"), "Quvexa BMS Monitor  ( UR96 ) ");
  EXPECT_EQ(c.color("FormMain"), colour::Background);
  EXPECT_EQ(c.panel("StatusBarView", 3), "   VELMO_ENG");
  EXPECT_EQ(c.color("Shape_TX"), colour::White);
  EXPECT_EQ(c.color("Shape_RX"), colour::White);
  EXPECT_FALSE(c.visible("PageControl2"));
  EXPECT_EQ(c.itemIndex("PageControl2"), 0);
  EXPECT_EQ(shownPages(), std::set<std::string>{"TabSheetEEP"});
  EXPECT_EQ(c.text("CheckBoxEEPROMErase"), "");
  EXPECT_FALSE(c.enabled("Timer_300h_ON"));
  for (const char* cell : mainwindow::kCellEdits) EXPECT_EQ(c.text(cell), "0") << cell;
  EXPECT_EQ(c.text("EditT1"), "");
  EXPECT_EQ(c.fontColor("SpdBtnConfigure"), colour::Grey);
  EXPECT_FALSE(c.visible("SpdBtnUpgrade"));
  EXPECT_FALSE(c.visible("SpdBtnBusHunt"));
}

TEST_F(MainFormTest, EveryNameTheWindowsUseIsDeclared) {
  start("VELMO_ENG");
  tool->FormMain.FormShow();
  tool->FormMain.ResetLiveDisplay();
  EXPECT_EQ(controls().undeclared(), std::vector<std::string>{});
}

// Where a control sits: the page it is on (through its groups), or "" outside the pages.
std::string pageOf(const FormDef& form, std::string_view name) {
  const ControlDef* def = findControl(form, name);
  while (def != nullptr && def->kind != Kind::TabSheet) def = findControl(form, def->parent);
  return def != nullptr ? def->name : "";
}

TEST_F(MainFormTest, TheCommandButtonsStandOnTheirPagesWithTheirCaptions) {
  start("VELMO_ENG");
  struct Expected {
    const char* name;
    const char* page;
    const char* caption;
  };
  const Expected expected[] = {
      {"SpdBtnRUN", "", "RUN"},
      {"BitBtnPrint", "TabSheetVM", "PDF"},
      {"BitBtnSafeInfoRead", "TabSheetEEP", "EEPROM"},
      {"SpdBtnDeepSleep", "TabSheetQV", "Deep Sleep"},
      {"SpdBtnSleep", "TabSheetQV", "Sleep"},
      {"BitBtnBarCodeWrite", "TabSheetQV", "Write"},
      {"BitBtnBarCodeRead", "TabSheetQV", "Read"},
      {"SpdBtnRTCSet", "TabSheetQV", "Set"},
      {"SpdBtnRTCGet", "TabSheetQV", "Get"},
      {"SpdBtnShippingModeSet", "TabSheetQV", "Set"},
      {"SpdBtnShippingModeGet", "TabSheetQV", "Get"},
      {"SpdBtnSNSet", "TabSheetKL", "Set"},
      {"SpdBtnSNGet", "TabSheetKL", "Get"},
      {"SpdBtnConfigure", "", " Configure "},
      {"SpdBtnExit", "", "EXIT"},
      {"SpdBtnEEPROMEraseSet", "TabSheetQV", "Set"},
      {"BitBtnPrintReportRead", "TabSheetVM", "READ"},
      {"SpdBtnLastChgDateGet", "TabSheetUR96", "READ"},
      {"SpdBtnChgSW", "TabSheetENG2", "ON"},
      {"SpdBtnDsgSW", "TabSheetENG2", "ON"},
      {"SpdBtnBtyVoltRead", "TabSheetENG2", "Read"},
      {"SpdBtnDsgVoltRead", "TabSheetENG2", "Read"},
      {"SpdBtnChgVoltRead", "TabSheetENG2", "Read"},
      {"SpdBtnSOCRead", "TabSheetENG2", "Read"},
      {"BitBtnWCellmOmhAdjust", "TabSheetQV", "Write"},
      {"BitBtnCellRPrarmLoad", "TabSheetQV", "Load"},
      {"BitBtnRCellmOmhAdjust", "TabSheetQV", "Read"},
      {"BitBtn_EEP_READ", "TabSheet_CAN_ENG", "EEP Read"},
      {"BitBtn_EEP_PARA", "TabSheetEEP", "EEP PARA"},
      {"SpdBtnPRINT", "", "PDF"},
      {"SpdBtnUpgrade", "", " Upgrade "},
      {"SpdBtnBusHunt", "", " Bus Hunt "},
  };
  const FormDef& form = tool->FormMain.form();
  for (const Expected& e : expected) {
    ASSERT_NE(findControl(form, e.name), nullptr) << e.name;
    EXPECT_EQ(pageOf(form, e.name), e.page) << e.name;
    EXPECT_EQ(controls().text(e.name), e.caption) << e.name;
  }
  // The UR service buttons wait for the configuration dialog's Yes.
  for (const char* name : {"SpdBtnSleep", "SpdBtnDeepSleep", "SpdBtnRTCSet", "SpdBtnSNGet", "SpdBtnEEPROMEraseSet"})
    EXPECT_FALSE(controls().enabled(name)) << name;
}

// The pages and caption each executable name gives when the main window is shown.
TEST_F(MainFormTest, ShowingTheWindowAppliesTheProfileOfTheExecutableName) {
  const std::string design = "Quvexa BMS Monitor  ( UR96 ) ";
  const std::set<std::string> eepOnly{"TabSheetEEP"};
  const std::set<std::string> withCanService{"TabSheetEEP", "TabSheet_CAN_ENG"};
  struct Case {
    const char* exeName;
    bool versionReadable;
    std::string caption;
    std::set<std::string> pages;
  };
  const Case cases[] = {
      {"VELMO_LIT7", true, "VELMO_LIT_V1.0.4", {}},
      {"VELMO_LIT", false, "VELMO_LIT_", {}},
      {"velmo_lit", true, "VELMO_XXX_V1.0.4", {}},
      {"quvexa", false, "VELMO_XXX_", {}},
      {"VELMO_ENG", true, design, withCanService},
      {"VELMO_EVT_line2", true, design, withCanService},
      {"VELMO_DEBUG", true, design, eepOnly},
      {"VELMO_DIA", true, design, eepOnly},
      {"VELMO_EEP", false, design, eepOnly},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.exeName);
    start(k.exeName, k.versionReadable);
    tool->FormMain.onEvent("FormMain", UiEvent::Show);
    EXPECT_EQ(controls().text("FormMain").toStdString(), k.caption);
    EXPECT_EQ(shownPages(), k.pages);
    EXPECT_FALSE(controls().visible("PageControl2"));
    tool->services.setGui(nullptr);
    tool.reset();
  }
}

// Showing the window, then the protocol choice, then Yes: the pages and the caption each name ends with.
TEST_F(MainFormTest, TheProtocolChoiceAndYesShowTheProfilesPages) {
  const std::string design = "Quvexa BMS Monitor  ( UR96 ) ";
  const std::set<std::string> urPages{"TabSheetUR96", "TabSheetEEP"};
  const std::set<std::string> canPages{"TabSheet_BRCAN"};
  const std::set<std::string> canServicePages{"TabSheet_BRCAN", "TabSheet_CAN_ENG"};
  struct Case {
    const char* exeName;
    bool versionReadable;
    int protocol;  // 0 "UR", 1 "CAN"
    std::string caption;
    std::set<std::string> pages;
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
    tool->FormMain.onEvent("FormMain", UiEvent::Show);
    tool->FormMain.onEvent("SpdBtnConfigure", UiEvent::Click);

    c.setItemIndex("RadioGroup_Protocol", k.protocol);
    tool->FormConfig.onEvent("RadioGroup_Protocol", UiEvent::Click);
    EXPECT_EQ(shownPages(), k.pages) << "the choice switches the pages at once";
    EXPECT_FALSE(c.visible("PageControl2"));

    c.setItemIndex("PageControl2", 3);
    tool->FormConfig.onEvent("SpdBtnYES", UiEvent::Click);
    EXPECT_EQ(shownPages(), k.pages);
    EXPECT_EQ(c.text("FormMain").toStdString(), k.caption);
    EXPECT_TRUE(c.visible("PageControl2"));
    EXPECT_TRUE(c.enabled("FormMain"));
    EXPECT_FALSE(c.visible("FormConfig"));
    EXPECT_EQ(c.itemIndex("PageControl2"), k.protocol == 0 ? 0 : 3) << "UR selects the first tab";
    EXPECT_EQ(c.enabled("GroupBoxLastChgDate"), k.protocol == 0);
    tool->services.setGui(nullptr);
    tool.reset();
  }
}

TEST_F(MainFormTest, ShowingTheWindowDatesItAndTitlesTheChart) {
  start("VELMO_ENG");
  tool->FormMain.FormShow();
  EXPECT_EQ(mainwindow::PrintDateText(QDateTime(QDate(2024, 3, 7), QTime(9, 0))), "03/07/2024");
  EXPECT_EQ(controls().text("LabelPRINTDate"), mainwindow::PrintDateText(platform::now()));
  EXPECT_EQ(controls().color("LabelPRINTDate"), colour::Background);
  EXPECT_EQ(controls().text("Chart1"), "---  SOC  ---");
}

TEST_F(MainFormTest, GaugesAndBarsFollowTheNumbersOfTheirBoxes) {
  start("VELMO_ENG");
  Controls& c = controls();
  c.setText("EditVCell5", "3300");
  EXPECT_EQ(c.position("CGaugeVCell5"), 3300);
  EXPECT_EQ(c.position("CGaugeVCell4"), 0);
  c.setText("EditVCell5", "33x0");  // not a number: the gauge stays, nothing is thrown
  EXPECT_EQ(c.position("CGaugeVCell5"), 3300);
  c.setText("EditVCell5", "");
  EXPECT_EQ(c.position("CGaugeVCell5"), 3300);
  c.setText("EditVCell13", "99999999999");  // beyond the range, and beyond an int
  EXPECT_EQ(c.position("CGaugeVCell13"), 5000);
  c.setText("EditVCell13", "-12");
  EXPECT_EQ(c.position("CGaugeVCell13"), 0);

  c.setText("EditASOC", "97");
  c.setText("EditRSOC", "64");
  EXPECT_EQ(c.position("ProgressBarSOH"), 97);
  EXPECT_EQ(c.position("ProgressBarSOC"), 64);
  c.setMaximum("ProgressBarSOC", 200);  // the UR74 record counts in half percent
  c.setText("EditRSOC", "150");
  EXPECT_EQ(c.position("ProgressBarSOC"), 150);
  c.setText("EditRSOC", "n/a");
  EXPECT_EQ(c.position("ProgressBarSOC"), 150);
}

TEST_F(MainFormTest, ResettingTheLiveDisplayClearsEveryLiveValue) {
  start("VELMO_ENG");
  Controls& c = controls();
  const char* const emptied[] = {"EditFWID", "EditFWVer", "EditPDSN", "EditT1", "EditT2", "EditT3"};
  const char* const zeroed[] = {"EditCycleCnt",   "EditDC",           "EditFCC",     "EditRC",     "EditPackVolt",
                                "EditPackCurrent", "EditTCC",         "EditCellSeries", "EditCellParallel",
                                "EditASOC",       "EditRSOC",         "EditVCell14", "Edit_HVlot", "Edit_LVolt",
                                "Edit_VoltDiff"};
  for (const char* name : emptied) c.setText(name, "x");
  for (const char* name : zeroed) c.setText(name, "12");
  for (const char* cell : mainwindow::kCellEdits) c.setText(cell, "3456");
  for (const char* flag : mainwindow::kFlagEdits) {
    c.setColor(flag, colour::Red);
    c.setFontColor(flag, colour::White);
  }
  c.setText("EditCurrentSign", " Charging ");
  c.setColor("EditCurrentSign", colour::Red);

  tool->FormMain.ResetLiveDisplay();

  for (const char* name : emptied) EXPECT_EQ(c.text(name), "") << name;
  for (const char* name : zeroed) EXPECT_EQ(c.text(name), "0") << name;
  for (size_t i = 0; i < mainwindow::kCellEdits.size(); ++i) {
    EXPECT_EQ(c.text(mainwindow::kCellEdits[i]), "0");
    EXPECT_EQ(c.position(mainwindow::kCellGauges[i]), 0);
  }
  EXPECT_EQ(c.position("ProgressBarSOH"), 0);
  EXPECT_EQ(c.position("ProgressBarSOC"), 0);
  for (const char* flag : mainwindow::kFlagEdits) {
    EXPECT_EQ(c.fontColor(flag), colour::Navy) << flag;
    EXPECT_EQ(c.color(flag), colour::Parent) << flag;
  }
  EXPECT_EQ(c.text("EditCurrentSign"), " - None - ");
  EXPECT_EQ(c.color("EditCurrentSign"), colour::ButtonFace);
}

TEST_F(MainFormTest, FrameButtons) {
  start("VELMO_ENG");
  Controls& c = controls();
  mainwindow::TFormMain& main = tool->FormMain;

  c.setVisible("PageControl2", true);
  main.onEvent("SpdBtnConfigure", UiEvent::Click);
  EXPECT_FALSE(c.visible("PageControl2"));
  EXPECT_FALSE(c.enabled("FormMain"));
  EXPECT_TRUE(c.visible("FormConfig"));

  c.setVisible("FormMain", true);
  main.onEvent("SpdBtnUpgrade", UiEvent::Click);
  EXPECT_FALSE(c.visible("FormMain"));
  EXPECT_TRUE(c.visible("FormFWUpgrade"));

  for (const char* button : {"SpdBtnConfigure", "SpdBtnBusHunt", "SpdBtnUpgrade"}) {
    main.onEvent(button, UiEvent::MouseEnter);
    EXPECT_EQ(c.fontColor(button), colour::Blue) << button;
    main.onEvent(button, UiEvent::MouseLeave);
    EXPECT_EQ(c.fontColor(button), colour::Grey) << button;
  }
  main.onEvent("SpdBtnExit", UiEvent::MouseEnter);
  EXPECT_EQ(c.fontColor("SpdBtnExit"), colour::WindowText);

  c.setEnabled("Timer_300h_ON", true);
  main.onEvent("SpdBtnExit", UiEvent::Click);
  EXPECT_FALSE(c.enabled("Timer_300h_ON"));
  EXPECT_EQ(gui->closed, std::vector<std::string>{"FormMain"});
}

TEST_F(MainFormTest, PrintingHoldsTheButtonOffUntilItIsDone) {
  start("VELMO_ENG");
  test::ScopedTimeScale fast(0.01);
  for (bool confirm : {false, true}) {
    gui->confirmPrint = confirm;
    tool->FormMain.onEvent("SpdBtnPRINT", UiEvent::Click);
    EXPECT_FALSE(gui->printButtonEnabledWhilePrinting);
    EXPECT_TRUE(controls().enabled("SpdBtnPRINT")) << "cancelled or printed, PDF is enabled again";
  }
  EXPECT_EQ(gui->printed, (std::vector<std::string>{"FormMain", "FormMain"}));
}

TEST_F(MainFormTest, TheNineWindowsComeInTheirOrder) {
  start("VELMO_ENG");
  std::vector<std::string> names;
  for (FormLogic* w : tool->windows()) names.emplace_back(w->form().name);
  EXPECT_EQ(names, (std::vector<std::string>{"FormMain", "FormConfig", "FormPassWord", "FormFWUpgrade", "FormEEPROM",
                                             "FormDiagnosisReport", "FormEEPLast10", "FormEEP_Record",
                                             "Form_EEP_PARA"}));
  for (const std::string& name : names) EXPECT_FALSE(controls().visible(name)) << name;
}

}  // namespace
}  // namespace qv
