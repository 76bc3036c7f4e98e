// The configuration dialog: its layout, the protocol choice acting on the main window's pages, the scan and
// its texts, the choice of an interface, and Yes.

#include "link/ConfigFormControls.h"
#include "link/Unit2ConfigForm.h"
#include "mainwindow/MainFormControls.h"
#include "sim/SimSetups.h"
#include "tests/link/LinkRig.h"

#include <gtest/gtest.h>

#include <map>

namespace qv {
namespace {

using namespace link;

bool visible(test::LinkRig& r, Control name) { return r.controls.visible(name); }

TEST(ConfigForm, LayoutAndCreation) {
  test::LinkRig rig;
  const FormDef& f = rig.form->form();
  EXPECT_EQ(f.name, link::ctl::FormConfig);
  EXPECT_STREQ(f.caption, "BMS Monitor Configure");
  EXPECT_EQ(f.color, colour::Background);
  EXPECT_TRUE(f.stayOnTop);
  std::map<Control, const ControlDef*> byName;
  for (const ControlDef& d : f.controls) byName[d.name] = &d;
  for (Control name :
       {link::ctl::Panel1, link::ctl::Label1, link::ctl::CobBoxInterfaceName, link::ctl::SpdBtnSCAN,
        link::ctl::ProgressBar1, link::ctl::LbInterfaceName, link::ctl::SpdBtnYES, link::ctl::SpdBtnCANCEL,
        link::ctl::CheckBoxLogFileSave, link::ctl::RadioGroup_Protocol, link::ctl::GroupBox1,
        link::ctl::LabelBaudRateChooice, link::ctl::ComboBoxBaudRate, link::ctl::StatusBar1})
    EXPECT_TRUE(byName.count(name)) << name;
  // That every control lies inside what holds it, tests/app holds for the nine windows.
  EXPECT_EQ(f.clientWidth, 476);
  EXPECT_EQ(f.clientHeight, 197);

  EXPECT_EQ(rig.controls.items(link::ctl::RadioGroup_Protocol), QStringList({"UR", "CAN"}));
  EXPECT_EQ(rig.controls.itemIndex(link::ctl::RadioGroup_Protocol), -1);
  EXPECT_EQ(rig.controls.text(link::ctl::LbInterfaceName), "unknow . . .");
  EXPECT_EQ(rig.controls.maximum(link::ctl::ProgressBar1), 64);
  EXPECT_FALSE(rig.controls.enabled(link::ctl::SpdBtnSCAN));
  EXPECT_FALSE(rig.controls.enabled(link::ctl::SpdBtnYES));
  EXPECT_FALSE(visible(rig, link::ctl::SpdBtnCANCEL));
  EXPECT_FALSE(visible(rig, link::ctl::CheckBoxLogFileSave));
  for (Control name : {mainwindow::ctl::SpdBtnRUN, mainwindow::ctl::SpdBtnBusHunt, mainwindow::ctl::SpdBtnUpgrade,
                       mainwindow::ctl::BitBtnPrintReportRead})
    EXPECT_FALSE(rig.controls.enabled(name)) << name;
  EXPECT_EQ(rig.controls.color(link::ctl::FormConfig), colour::Background);
}

TEST(ConfigForm, ProtocolChoiceSwitchesTheMainWindowsPages) {
  struct Case {
    const char* exe;
    int protocol;
    std::vector<Control> shown, hidden;
    QStringList rates;
  } cases[] = {
      {"quvexa",
       0,
       {mainwindow::ctl::TabSheetEEP, mainwindow::ctl::TabSheetUR96, link::ctl::CheckBoxLogFileSave},
       {mainwindow::ctl::TabSheet_BRCAN, mainwindow::ctl::TabSheet_CAN_ENG, mainwindow::ctl::TabSheet_EVT,
        mainwindow::ctl::PageControl2},
       {"9600", "19200"}},
      // No profile: the QV page keeps what it had (it was shown before the click).
      {"quvexa",
       1,
       {mainwindow::ctl::TabSheet_BRCAN, mainwindow::ctl::TabSheet_CAN_ENG, link::ctl::CheckBoxLogFileSave},
       {mainwindow::ctl::TabSheetQV, mainwindow::ctl::TabSheetENG2, mainwindow::ctl::TabSheetUR96,
        mainwindow::ctl::TabSheetEEP, mainwindow::ctl::PageControl2},
       {"125000", "250000", "500000"}},
      {"VELMO_LIT2",
       1,
       {mainwindow::ctl::TabSheet_BRCAN, mainwindow::ctl::TabSheet_CAN_ENG},
       {mainwindow::ctl::TabSheet_EVT},
       {"125000", "250000", "500000"}},
      {"VELMO_EVT",
       1,
       {mainwindow::ctl::TabSheet_CAN_ENG, mainwindow::ctl::TabSheet_EVT},
       {mainwindow::ctl::TabSheetEEP},
       {"125000", "250000", "500000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.exe) + " " + std::to_string(c.protocol));
    test::ScopedExeName exe(c.exe);
    test::LinkRig rig;
    rig.controls.setVisible(mainwindow::ctl::PageControl2, true);
    rig.controls.setEnabled(mainwindow::ctl::Timer_300h_ON, true);
    for (Control page : {mainwindow::ctl::TabSheet_CAN_ENG, mainwindow::ctl::TabSheet_EVT})
      rig.controls.setVisible(page, true);
    rig.chooseProtocol(c.protocol);
    for (Control name : c.shown) EXPECT_TRUE(visible(rig, name)) << name;
    for (Control name : c.hidden) EXPECT_FALSE(visible(rig, name)) << name;
    EXPECT_TRUE(rig.controls.enabled(link::ctl::SpdBtnSCAN));
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
    EXPECT_EQ(rig.controls.items(link::ctl::ComboBoxBaudRate), c.rates);
    EXPECT_EQ(rig.controls.selectedItemText(link::ctl::ComboBoxBaudRate), c.protocol == 0 ? "19200" : "250000");
  }

  test::ScopedExeName plain("quvexa");
  test::LinkRig rig;
  rig.chooseProtocol(1);
  EXPECT_FALSE(visible(rig, mainwindow::ctl::TabSheet_CAN_ENG));  // no profile: left hidden as it was
  EXPECT_TRUE(rig.controls.undeclared().empty());
}

class Scan : public ::testing::Test {
 protected:
  void list(std::initializer_list<uint32_t> ids) {
    for (uint32_t id : ids) rig.sim().addAdapter(id);
  }
  QString panel() const { return rig.controls.panel(link::ctl::StatusBar1, 0); }
  QString found() const { return rig.controls.text(link::ctl::LbInterfaceName); }
  bool yes() const { return rig.controls.enabled(link::ctl::SpdBtnYES); }
  void expectEnded() {
    EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Scan");
    EXPECT_TRUE(rig.controls.enabled(link::ctl::SpdBtnSCAN));
    EXPECT_EQ(rig.controls.position(link::ctl::ProgressBar1), 64);
  }

  static constexpr uint32_t kForeign = 0x04036001;
  test::LinkRig rig;
};

TEST_F(Scan, TwoDevicesTheSecondAccepted) {
  list({kForeign, platform::kAcceptedDeviceId});
  rig.chooseProtocol(0);
  rig.scan();
  EXPECT_EQ(rig.controls.items(link::ctl::CobBoxInterfaceName), QStringList({"USB1", "USB2"}));
  EXPECT_EQ(rig.controls.itemIndex(link::ctl::CobBoxInterfaceName), 1);
  EXPECT_EQ(rig.controls.text(link::ctl::CobBoxInterfaceName), "USB2");
  EXPECT_EQ(panel(), "  USB2  :  Available ");
  EXPECT_EQ(found(), "2  found. ");
  EXPECT_TRUE(yes());
  EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::SpdBtnRUN));
  expectEnded();
  {
    const auto table = rig.link.AdapterTable.snapshot();
    const AdapterTableEntry& e = table[1];
    EXPECT_EQ(e.deviceId, platform::kAcceptedDeviceId);
    EXPECT_EQ(e.position, 2);
    EXPECT_EQ(e.count, 1);
    EXPECT_STREQ(e.serialNumber, "QVSIM002");
    EXPECT_STREQ(e.description, "Simulated adapter");
    EXPECT_EQ(table[0].deviceId, 0u);
    EXPECT_EQ(table[0].count, 1);
  }

  rig.pick(0);
  EXPECT_EQ(panel(), "  USB1  :  Not Available ");
  EXPECT_FALSE(yes());
  rig.pick(1);
  EXPECT_TRUE(yes());
}

TEST_F(Scan, OneForeignDeviceStillEnablesYes) {
  list({kForeign});
  rig.chooseProtocol(1);
  rig.scan();
  EXPECT_EQ(rig.controls.items(link::ctl::CobBoxInterfaceName), QStringList({"USB1"}));
  EXPECT_EQ(panel(), "  USB1  :  Not Available ");
  EXPECT_EQ(found(), "1  found. ");
  EXPECT_TRUE(yes());
  expectEnded();
}

TEST_F(Scan, NoDeviceAndFailedListing) {
  rig.chooseProtocol(0);
  rig.scan();
  EXPECT_EQ(found(), " Not found. ");
  EXPECT_TRUE(rig.controls.items(link::ctl::CobBoxInterfaceName).isEmpty());
  EXPECT_FALSE(yes());
  expectEnded();

  rig.sim().failListing(platform::FT_IO_ERROR);
  rig.scan();
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Stop");  // the operator stops and scans again
  EXPECT_FALSE(yes());
  rig.form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Scan");
  rig.sim().failListing(platform::FT_OK);
  rig.scan();
  expectEnded();
}

TEST_F(Scan, AnUnpluggedAdapterLeavesNoStaleEntry) {
  list({platform::kAcceptedDeviceId});
  rig.chooseProtocol(0);
  rig.scan();
  rig.sim().adapters()[0]->unplug();
  rig.sim().addAdapter(kForeign);  // another device now sits at the first position
  rig.scan();
  EXPECT_EQ(panel(), "  USB1  :  Not Available ");
  rig.pick(0);
  EXPECT_FALSE(rig.link.OpenAdapter());
  EXPECT_EQ(rig.link.AdapterHandle, 0u);
}

TEST_F(Scan, MoreDevicesThanTableEntries) {
  for (int i = 0; i < 34; ++i) list({platform::kAcceptedDeviceId});
  rig.chooseProtocol(0);
  rig.scan();
  EXPECT_EQ(rig.controls.items(link::ctl::CobBoxInterfaceName).size(), 34);
  EXPECT_EQ(found(), "34  found. ");
  EXPECT_EQ(panel(), "  USB34  :  Not Available ");  // no entry past the table
  rig.pick(31);
  EXPECT_EQ(panel(), "  USB32  :  Available ");
  EXPECT_TRUE(rig.link.OpenAdapter());
  EXPECT_EQ(rig.link.AdapterTable.snapshot()[31].count, 34);
}

TEST_F(Scan, OneScanAtATime) {
  list({platform::kAcceptedDeviceId});
  rig.chooseProtocol(0);
  rig.spy().hold();
  rig.form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Stop");
  rig.form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Scan");  // relabelled; the scan runs on
  rig.form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Stop");
  EXPECT_EQ(rig.services.workers.running("ScanAdapterThread"), 1);
  rig.spy().release();
  rig.services.workers.joinAll();
  EXPECT_EQ(rig.controls.items(link::ctl::CobBoxInterfaceName), QStringList({"USB1"}));
  expectEnded();
}

TEST_F(Scan, AScanEndedByAnExceptionLeavesTheNextOneFree) {
  list({platform::kAcceptedDeviceId});
  rig.chooseProtocol(0);
  rig.spy().throwOnNextCount();
  rig.scan();
  EXPECT_EQ(rig.controls.text(link::ctl::SpdBtnSCAN), "Stop");  // as after a failed count: the operator stops and scans
  rig.form->onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  rig.scan();
  EXPECT_EQ(rig.controls.items(link::ctl::CobBoxInterfaceName), QStringList({"USB1"}));
  expectEnded();
}

TEST(ConfigFormYes, ConfirmsTheChoiceOnTheMainWindow) {
  struct Case {
    const char* exe;
    int protocol;
    QString caption;
    bool lastChargeGroup;
  } cases[] = {
      {"VELMO_ENG", 0, "Quvexa BMS Monitor  ( UR96 ) ", true},
      {"VELMO_LIT", 0, "VELMO_LIT_V1.0.4", true},
      {"VELMO_LIT", 1, "Quvexa BMS Monitor  ( UR96 ) ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.exe) + " " + std::to_string(c.protocol));
    test::ScopedExeName exe(c.exe);
    test::LinkRig rig;
    rig.sim().addAdapter();
    rig.controls.setEnabled(mainwindow::ctl::FormMain, false);
    rig.controls.setVisible(mainwindow::ctl::TabSheetKL, true);
    rig.controls.setEnabled(mainwindow::ctl::Timer_300h_ON, true);
    rig.chooseProtocol(c.protocol);
    rig.scan();
    rig.controls.setItemIndex(mainwindow::ctl::PageControl2, 3);
    rig.form->onEvent(link::ctl::SpdBtnYES, UiEvent::Click);

    EXPECT_TRUE(rig.controls.enabled(mainwindow::ctl::FormMain));
    EXPECT_TRUE(visible(rig, mainwindow::ctl::FormMain));
    EXPECT_FALSE(visible(rig, link::ctl::FormConfig));
    EXPECT_TRUE(visible(rig, mainwindow::ctl::PageControl2));
    EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
    for (Control name : {mainwindow::ctl::SpdBtnRUN, mainwindow::ctl::SpdBtnUpgrade,
                         mainwindow::ctl::BitBtnPrintReportRead, mainwindow::ctl::SpdBtnSOCRead})
      EXPECT_TRUE(rig.controls.enabled(name)) << name;
    EXPECT_EQ(rig.controls.text(mainwindow::ctl::FormMain), c.caption);
    EXPECT_EQ(rig.controls.enabled(mainwindow::ctl::GroupBoxLastChgDate), c.lastChargeGroup);
    if (c.protocol == 0) {
      EXPECT_EQ(rig.controls.itemIndex(mainwindow::ctl::PageControl2), 0);
    }
    const bool liteUr = c.caption.startsWith("VELMO_LIT_");
    EXPECT_EQ(visible(rig, mainwindow::ctl::TabSheetKL), !liteUr);
    if (liteUr) {
      EXPECT_TRUE(visible(rig, mainwindow::ctl::TabSheetEEP));
    }
    EXPECT_TRUE(rig.controls.undeclared().empty());
  }
}

TEST(ConfigFormYes, CancelOnlyStopsTheKeepAlive) {
  test::LinkRig rig;
  rig.controls.setEnabled(mainwindow::ctl::Timer_300h_ON, true);
  rig.controls.setVisible(link::ctl::FormConfig, true);
  rig.form->onEvent(link::ctl::SpdBtnCANCEL, UiEvent::Click);
  EXPECT_FALSE(rig.controls.enabled(mainwindow::ctl::Timer_300h_ON));
  EXPECT_TRUE(visible(rig, link::ctl::FormConfig));
  rig.form->onEvent(link::ctl::FormConfig, UiEvent::Close);
  EXPECT_FALSE(visible(rig, link::ctl::FormConfig));
  EXPECT_TRUE(visible(rig, mainwindow::ctl::FormMain));
}

TEST(ConfigFormSim, TheSimulatedAdapterIsAvailable) {
  test::LinkRig rig(sim::makeSimDriver(""));
  rig.chooseProtocol(0);
  rig.scan();
  EXPECT_EQ(rig.controls.panel(link::ctl::StatusBar1, 0), "  USB1  :  Available ");
  EXPECT_EQ(rig.controls.text(link::ctl::LbInterfaceName), "1  found. ");
  EXPECT_TRUE(rig.link.OpenAdapter());
  EXPECT_TRUE(rig.link.CloseAdapter());
}

}  // namespace
}  // namespace qv
