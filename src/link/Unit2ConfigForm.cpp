#include "link/Unit2ConfigForm.h"

#include "link/Profiles.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace qv::link {
namespace {

using platform::AdapterListRecord;
using platform::FT_OK;

constexpr int kProtocolUr = 0;
constexpr int kProtocolCan = 1;
constexpr int kProgressFull = 64;

const QString kScan = QStringLiteral("Scan");
// The scan's worker, by which a second Scan click finds the first still running.
constexpr char kScanWorker[] = "ScanAdapterThread";

FormDef makeForm() {
  FormDef f;
  f.name = "FormConfig";
  f.caption = "BMS Monitor Configure";
  f.clientWidth = 476;
  f.clientHeight = 197;
  f.color = colour::Background;
  f.stayOnTop = true;

  f.controls = {
      place(Kind::Panel, "Panel1", "", 8, 8, 300, 100),
      place(Kind::Label, "Label1", "Panel1", 10, 8, 120, 16, "Interface name"),
      place(Kind::ComboBox, "CobBoxInterfaceName", "Panel1", 10, 28, 180, 22),
      place(Kind::Button, "SpdBtnSCAN", "Panel1", 200, 26, 90, 26, "Scan").disable(),
      place(Kind::ProgressBar, "ProgressBar1", "Panel1", 10, 58, 280, 14).span(0, kProgressFull),
      place(Kind::Label, "LbInterfaceName", "Panel1", 10, 78, 200, 16, "unknow . . ."),
      place(Kind::RadioGroup, "RadioGroup_Protocol", "", 316, 8, 152, 52, " Communication Protocol  ")
          .list("UR\nCAN")
          .cols(2),
      place(Kind::GroupBox, "GroupBox1", "", 316, 64, 152, 64, " Baud Rate bps  "),
      place(Kind::Label, "LabelBaudRateChooice", "GroupBox1", 8, 18, 80, 16, "Baud Rate"),
      place(Kind::ComboBox, "ComboBoxBaudRate", "GroupBox1", 8, 36, 136, 22),
      place(Kind::CheckBox, "CheckBoxLogFileSave", "", 16, 116, 130, 20, "Log file save").hide(),
      place(Kind::Button, "SpdBtnYES", "", 280, 138, 90, 30, "Yes").disable(),
      place(Kind::Button, "SpdBtnCANCEL", "", 378, 138, 90, 30, "Cancel").hide(),
      place(Kind::StatusBar, "StatusBar1", "", 0, 178, 476, 19).list("\n\n").panels("150,150,50"),
  };
  return f;
}

void setVisible(Controls& c, std::initializer_list<const char*> names, bool on) {
  for (const char* name : names) c.setVisible(name, on);
}

void fillBaudRates(Controls& c, const QStringList& rates, int selected) {
  c.setItems("ComboBoxBaudRate", rates);
  c.selectItem("ComboBoxBaudRate", selected);
}

void stopKeepAlive(Controls& c) { c.setEnabled("Timer_300h_ON", false); }

// What Yes enables on the main window; enabling shows no hidden control.
constexpr const char* kConfirmedButtons[] = {
    "SpdBtnRUN",          "SpdBtnBusHunt",         "SpdBtnUpgrade",         "SpdBtnSNGet",
    "SpdBtnSNSet",        "SpdBtnSleep",           "SpdBtnDeepSleep",       "BitBtnBarCodeRead",
    "BitBtnBarCodeWrite", "BitBtnSafeInfoRead",    "SpdBtnRTCSet",          "SpdBtnRTCGet",
    "SpdBtnShippingModeSet", "SpdBtnShippingModeGet", "SpdBtnEEPROMEraseSet", "BitBtnPrintReportRead",
    "SpdBtnLastChgDateGet", "SpdBtnChgSW",         "SpdBtnDsgSW",           "SpdBtnBtyVoltRead",
    "SpdBtnDsgVoltRead",  "SpdBtnChgVoltRead",     "SpdBtnSOCRead",
};

struct Handler {
  const char* control;
  UiEvent event;
  void (TFormConfig::*run)();
};

constexpr Handler kHandlers[] = {
    {"FormConfig", UiEvent::Close, &TFormConfig::FormClose},
    {"SpdBtnSCAN", UiEvent::Click, &TFormConfig::SpdBtnSCANClick},
    {"SpdBtnYES", UiEvent::Click, &TFormConfig::SpdBtnYESClick},
    {"SpdBtnCANCEL", UiEvent::Click, &TFormConfig::SpdBtnCANCELClick},
    {"CobBoxInterfaceName", UiEvent::Change, &TFormConfig::CobBoxInterfaceNameChange},
    {"RadioGroup_Protocol", UiEvent::Click, &TFormConfig::RadioGroup_ProtocolClick},
};

}  // namespace

void DisableLinkButtons(Controls& controls) {
  controls.setPosition("ProgressBar1", 0);
  for (const char* name : {"SpdBtnRUN", "SpdBtnBusHunt", "SpdBtnUpgrade", "BitBtnPrintReportRead"})
    controls.setEnabled(name, false);
}

TFormConfig::TFormConfig(Link& link) : link_(link), controls_(link.controls) {
  declareForm(controls_, form());
  FormCreate();
}

const FormDef& TFormConfig::form() const {
  static const FormDef def = makeForm();
  return def;
}

void TFormConfig::onEvent(std::string_view control, UiEvent event) {
  for (const Handler& h : kHandlers) {
    if (control == h.control && event == h.event) (this->*h.run)();
  }
}

void TFormConfig::FormCreate() {
  controls_.setColor("FormConfig", colour::Background);
  DisableLinkButtons(controls_);
}

void TFormConfig::FormClose() {
  controls_.setVisible("FormConfig", false);
  controls_.setEnabled("FormMain", true);
  controls_.setVisible("FormMain", true);
}

void TFormConfig::RadioGroup_ProtocolClick() {
  controls_.setVisible("PageControl2", false);
  stopKeepAlive(controls_);
  const int protocol = controls_.itemIndex("RadioGroup_Protocol");
  if (protocol == kProtocolUr) {
    controls_.setEnabled("SpdBtnSCAN", true);
    setVisible(controls_, {"TabSheetEEP", "TabSheetUR96"}, true);
    setVisible(controls_, {"TabSheet_BRCAN", "TabSheet_CAN_ENG"}, false);
    fillBaudRates(controls_, {QStringLiteral("9600"), QStringLiteral("19200")}, 1);
    controls_.setVisible("CheckBoxLogFileSave", true);
    controls_.setVisible("TabSheet_EVT", false);
  } else if (protocol == kProtocolCan) {
    controls_.setVisible("CheckBoxLogFileSave", true);
    controls_.setEnabled("SpdBtnSCAN", true);
    setVisible(controls_, {"TabSheetQV", "TabSheetENG2", "TabSheetUR96", "TabSheetEEP"}, false);
    controls_.setVisible("TabSheet_BRCAN", true);
    fillBaudRates(controls_, {QStringLiteral("125000"), QStringLiteral("250000"), QStringLiteral("500000")}, 1);
    const Profile profile = CurrentProfile();
    if (profile == Profile::Lite || profile == Profile::Eng || profile == Profile::Evt)
      controls_.setVisible("TabSheet_CAN_ENG", true);
    if (profile == Profile::Lite) controls_.setVisible("TabSheet_EVT", false);
  }
}

void TFormConfig::SpdBtnSCANClick() {
  stopKeepAlive(controls_);
  if (controls_.text("SpdBtnSCAN") != kScan) {
    // The running scan is not stopped: it finishes by itself.
    controls_.setText("SpdBtnSCAN", kScan);
    return;
  }
  controls_.setText("SpdBtnSCAN", QStringLiteral("Stop"));
  // One scan at a time: a scan still running after "Stop" goes on being the scan. Only this handler starts a
  // scan, on the GUI thread, so nothing can start one between the test and the start.
  if (link_.services.workers.running(kScanWorker) > 0) return;
  controls_.setEnabled("SpdBtnYES", false);
  controls_.setItems("CobBoxInterfaceName", {});
  controls_.selectItem("CobBoxInterfaceName", -1);
  const int protocol = controls_.itemIndex("RadioGroup_Protocol");
  if (protocol != kProtocolUr && protocol != kProtocolCan) {
    controls_.setEnabled("SpdBtnSCAN", true);
    return;
  }
  link_.services.workers.start(kScanWorker, [this] { ScanAdapterThread(); });
}

void TFormConfig::ScanAdapterThread() {
  controls_.setEnabled("SpdBtnRUN", false);
  controls_.setEnabled("SpdBtnYES", false);
  controls_.setPanel("StatusBar1", 0, QString());
  {
    // An adapter unplugged since the last scan must not be opened by its old location id.
    std::lock_guard lock(link_.tableMutex);
    link_.AdapterTable.fill(AdapterTableEntry{});
  }

  uint32_t n = 0;
  if (link_.driver.CreateDeviceInfoList(&n) != FT_OK) return;  // "Stop" stays: the operator scans again
  ListAdapters(n);
  controls_.setEnabled("SpdBtnSCAN", true);
  controls_.setText("SpdBtnSCAN", kScan);
  controls_.setPosition("ProgressBar1", kProgressFull);
}

void TFormConfig::ListAdapters(uint32_t n) {
  std::vector<AdapterListRecord> list(n);
  uint32_t accepted = 0;
  if (n > 0) {
    controls_.setPosition("ProgressBar1", 0);
    controls_.setItems("CobBoxInterfaceName", {});
    if (link_.driver.GetDeviceInfoList(list.data(), &n) != FT_OK) return;
    n = std::min<uint32_t>(n, static_cast<uint32_t>(list.size()));
    for (uint32_t i = 0; i < n; ++i) {
      const AdapterListRecord& r = list[i];
      if (r.id == platform::kAcceptedDeviceId) ++accepted;
      // Positions past the table are listed but have no entry.
      if (r.id == platform::kAcceptedDeviceId && i < kAdapterTableSize) {
        std::lock_guard lock(link_.tableMutex);
        AdapterTableEntry& e = link_.AdapterTable[i];
        e.deviceId = r.id;
        e.flags = static_cast<uint8_t>(r.flags & 0xFF);
        e.type = r.type;
        e.locId = r.locId;
        e.position = static_cast<uint8_t>(i + 1);
        std::memcpy(e.serialNumber, r.serialNumber, strnlen(r.serialNumber, sizeof r.serialNumber));
        std::memcpy(e.description, r.description, strnlen(r.description, sizeof r.description));
        e.hasTexts = true;
      }
      controls_.setPosition("ProgressBar1", controls_.position("ProgressBar1") + 1);
    }
  }
  if (n == 0) {
    controls_.setText("LbInterfaceName", QStringLiteral(" Not found. "));
    return;
  }

  for (uint32_t i = 0; i < n; ++i) {
    controls_.addItem("CobBoxInterfaceName", QStringLiteral("USB%1").arg(i + 1));
    if (i < kAdapterTableSize) {
      std::lock_guard lock(link_.tableMutex);
      link_.AdapterTable[i].count = static_cast<uint8_t>(std::min<uint32_t>(accepted, 0xFF));
    }
    controls_.selectItem("CobBoxInterfaceName", static_cast<int>(i));
    ShowAvailability(static_cast<int>(i));
  }
  controls_.setText("LbInterfaceName", QStringLiteral("%1  found. ").arg(n));
  controls_.setEnabled("SpdBtnYES", true);
}

void TFormConfig::ShowAvailability(int i) {
  const bool available = link_.AdapterLocation(i).has_value();
  const QString text = QStringLiteral("  USB%1  :  %2 ").arg(i + 1).arg(available ? "Available" : "Not Available");
  controls_.setPanel("StatusBar1", 0, text);
  controls_.setEnabled("SpdBtnYES", available);
}

void TFormConfig::CobBoxInterfaceNameChange() { ShowAvailability(controls_.itemIndex("CobBoxInterfaceName")); }

void TFormConfig::SpdBtnYESClick() {
  stopKeepAlive(controls_);
  controls_.setEnabled("FormMain", true);
  for (const char* name : kConfirmedButtons) controls_.setEnabled(name, true);
  controls_.setVisible("PageControl2", true);
  const int protocol = controls_.itemIndex("RadioGroup_Protocol");
  if (protocol == kProtocolUr) {
    controls_.setItemIndex("PageControl2", 0);
    if (CurrentProfile() == Profile::Lite) {
      controls_.setText("FormMain", QStringLiteral("VELMO_LIT_") + GetVersionText());
      setVisible(controls_, {"TabSheetKL", "TabSheetVM", "TabSheetST", "TabSheetQV"}, false);
      controls_.setVisible("TabSheetEEP", true);
      controls_.setVisible("TabSheetENG2", false);
    }
  } else if (protocol == kProtocolCan) {
    controls_.setEnabled("GroupBoxLastChgDate", false);
  }
  FormClose();
}

void TFormConfig::SpdBtnCANCELClick() { stopKeepAlive(controls_); }

}  // namespace qv::link
