#include "link/Unit2ConfigForm.h"

#include "link/Profiles.h"

#include "link/ConfigFormControls.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace qv::link {
namespace {

using platform::AdapterListRecord;
using platform::FT_OK;

constexpr int kProgressFull = 64;

const QString kScan = QStringLiteral("Scan");
// The scan's worker, by which a second Scan click finds the first still running.
constexpr char kScanWorker[] = "ScanAdapterThread";

FormDef makeForm() {
  FormDef f;
  f.name = ctl::FormConfig;
  f.caption = "BMS Monitor Configure";
  f.clientWidth = 476;
  f.clientHeight = 197;
  f.color = colour::Background;
  f.stayOnTop = true;

  f.controls = {
      place(Kind::Panel, ctl::Panel1, kFormItself, 8, 8, 300, 100),
      place(Kind::Label, ctl::Label1, ctl::Panel1, 10, 8, 120, 16, "Interface name"),
      place(Kind::ComboBox, ctl::CobBoxInterfaceName, ctl::Panel1, 10, 28, 180, 22),
      place(Kind::Button, ctl::SpdBtnSCAN, ctl::Panel1, 200, 26, 90, 26, "Scan").disable(),
      place(Kind::ProgressBar, ctl::ProgressBar1, ctl::Panel1, 10, 58, 280, 14).span(0, kProgressFull),
      place(Kind::Label, ctl::LbInterfaceName, ctl::Panel1, 10, 78, 200, 16, "unknow . . ."),
      place(Kind::RadioGroup, ctl::RadioGroup_Protocol, kFormItself, 316, 8, 152, 52, " Communication Protocol  ")
          .list("UR\nCAN")
          .cols(2),
      place(Kind::GroupBox, ctl::GroupBox1, kFormItself, 316, 64, 152, 64, " Baud Rate bps  "),
      place(Kind::Label, ctl::LabelBaudRateChooice, ctl::GroupBox1, 8, 18, 80, 16, "Baud Rate"),
      place(Kind::ComboBox, ctl::ComboBoxBaudRate, ctl::GroupBox1, 8, 36, 136, 22),
      place(Kind::CheckBox, ctl::CheckBoxLogFileSave, kFormItself, 16, 116, 130, 20, "Log file save").hide(),
      place(Kind::Button, ctl::SpdBtnYES, kFormItself, 280, 138, 90, 30, "Yes").disable(),
      place(Kind::Button, ctl::SpdBtnCANCEL, kFormItself, 378, 138, 90, 30, "Cancel").hide(),
      place(Kind::StatusBar, ctl::StatusBar1, kFormItself, 0, 178, 476, 19).list("\n\n").panels("150,150,50"),
  };
  return f;
}

void setVisible(Controls& c, std::initializer_list<Control> names, bool on) {
  for (Control name : names) c.setVisible(name, on);
}

void fillBaudRates(Controls& c, const QStringList& rates, int selected) {
  c.setItems(ctl::ComboBoxBaudRate, rates);
  c.selectItem(ctl::ComboBoxBaudRate, selected);
}

void stopKeepAlive(Link& link) { link.controls.setEnabled(link.mainWindow.keepAliveTimer, false); }

constexpr EventRoute<TFormConfig> kHandlers[] = {
    {ctl::FormConfig, UiEvent::Close, &TFormConfig::FormClose},
    {ctl::SpdBtnSCAN, UiEvent::Click, &TFormConfig::SpdBtnSCANClick},
    {ctl::SpdBtnYES, UiEvent::Click, &TFormConfig::SpdBtnYESClick},
    {ctl::SpdBtnCANCEL, UiEvent::Click, &TFormConfig::SpdBtnCANCELClick},
    {ctl::CobBoxInterfaceName, UiEvent::Change, &TFormConfig::CobBoxInterfaceNameChange},
    {ctl::RadioGroup_Protocol, UiEvent::Click, &TFormConfig::RadioGroup_ProtocolClick},
};

}  // namespace

void DisableLinkButtons(Link& link) {
  link.controls.setPosition(ctl::ProgressBar1, 0);
  for (Control name : link.mainWindow.linkButtons) link.controls.setEnabled(name, false);
}

TFormConfig::TFormConfig(Link& link) : link_(link), controls_(link.controls), main_(link.mainWindow) {
  declareForm(controls_, form());
  FormCreate();
}

const FormDef& ConfigFormDef() {
  static const FormDef def = makeForm();
  return def;
}

const FormDef& TFormConfig::form() const { return ConfigFormDef(); }

void TFormConfig::onEvent(Control control, UiEvent event) { routeEvent(*this, kHandlers, control, event); }

void TFormConfig::FormCreate() {
  controls_.setColor(ctl::FormConfig, colour::Background);
  DisableLinkButtons(link_);
}

void TFormConfig::FormClose() {
  controls_.setVisible(ctl::FormConfig, false);
  controls_.setEnabled(main_.window, true);
  controls_.setVisible(main_.window, true);
}

void TFormConfig::RadioGroup_ProtocolClick() {
  controls_.setVisible(main_.pageControl, false);
  stopKeepAlive(link_);
  const int protocol = controls_.itemIndex(ctl::RadioGroup_Protocol);
  if (protocol == kProtocolUr) {
    controls_.setEnabled(ctl::SpdBtnSCAN, true);
    setVisible(controls_, {main_.pageEep, main_.pageUr}, true);
    setVisible(controls_, {main_.pageCan, main_.pageQv}, false);
    fillBaudRates(controls_, {QStringLiteral("9600"), QStringLiteral("19200")}, 1);
    controls_.setVisible(ctl::CheckBoxLogFileSave, true);
    controls_.setVisible(main_.pageCanEvt, false);
  } else if (protocol == kProtocolCan) {
    controls_.setVisible(ctl::CheckBoxLogFileSave, true);
    controls_.setEnabled(ctl::SpdBtnSCAN, true);
    setVisible(controls_, {main_.pageEng, main_.pageEng2, main_.pageUr, main_.pageEep}, false);
    controls_.setVisible(main_.pageCan, true);
    fillBaudRates(controls_, {QStringLiteral("125000"), QStringLiteral("250000"), QStringLiteral("500000")}, 1);
    const Profile profile = CurrentProfile();
    if (profile == Profile::Lite || profile == Profile::Eng || profile == Profile::Evt)
      controls_.setVisible(main_.pageQv, true);
    if (profile == Profile::Lite) controls_.setVisible(main_.pageCanEvt, false);
  }
}

void TFormConfig::SpdBtnSCANClick() {
  stopKeepAlive(link_);
  if (controls_.text(ctl::SpdBtnSCAN) != kScan) {
    // The running scan is not stopped: it finishes by itself.
    controls_.setText(ctl::SpdBtnSCAN, kScan);
    return;
  }
  controls_.setText(ctl::SpdBtnSCAN, QStringLiteral("Stop"));
  // One scan at a time: a scan still running after "Stop" goes on being the scan. Only this handler starts a
  // scan, on the GUI thread, so nothing can start one between the test and the start.
  if (link_.services.workers.running(kScanWorker) > 0) return;
  controls_.setEnabled(ctl::SpdBtnYES, false);
  controls_.setItems(ctl::CobBoxInterfaceName, {});
  controls_.selectItem(ctl::CobBoxInterfaceName, -1);
  const int protocol = controls_.itemIndex(ctl::RadioGroup_Protocol);
  if (protocol != kProtocolUr && protocol != kProtocolCan) {
    controls_.setEnabled(ctl::SpdBtnSCAN, true);
    return;
  }
  link_.services.workers.start(kScanWorker, [this] { ScanAdapterThread(); });
}

void TFormConfig::ScanAdapterThread() {
  controls_.setEnabled(main_.run, false);
  controls_.setEnabled(ctl::SpdBtnYES, false);
  controls_.setPanel(ctl::StatusBar1, 0, QString());
  // An adapter unplugged since the last scan must not be opened by its old location id.
  link_.AdapterTable.set({});

  uint32_t n = 0;
  if (link_.driver.CreateDeviceInfoList(&n) != FT_OK) return;  // "Stop" stays: the operator scans again
  ListAdapters(n);
  controls_.setEnabled(ctl::SpdBtnSCAN, true);
  controls_.setText(ctl::SpdBtnSCAN, kScan);
  controls_.setPosition(ctl::ProgressBar1, kProgressFull);
}

void TFormConfig::ListAdapters(uint32_t n) {
  std::vector<AdapterListRecord> list(n);
  uint32_t accepted = 0;
  if (n > 0) {
    controls_.setPosition(ctl::ProgressBar1, 0);
    controls_.setItems(ctl::CobBoxInterfaceName, {});
    if (link_.driver.GetDeviceInfoList(list.data(), &n) != FT_OK) return;
    n = std::min<uint32_t>(n, static_cast<uint32_t>(list.size()));
    for (uint32_t i = 0; i < n; ++i) {
      const AdapterListRecord& r = list[i];
      if (r.id == platform::kAcceptedDeviceId) ++accepted;
      // Positions past the table are listed but have no entry.
      if (r.id == platform::kAcceptedDeviceId && i < kAdapterTableSize) {
        link_.AdapterTable.with([&](auto& table) {
          AdapterTableEntry& e = table[i];
          e.deviceId = r.id;
          e.flags = static_cast<uint8_t>(r.flags & 0xFF);
          e.type = r.type;
          e.locId = r.locId;
          e.position = static_cast<uint8_t>(i + 1);
          std::memcpy(e.serialNumber, r.serialNumber, strnlen(r.serialNumber, sizeof r.serialNumber));
          std::memcpy(e.description, r.description, strnlen(r.description, sizeof r.description));
          e.hasTexts = true;
        });
      }
      controls_.setPosition(ctl::ProgressBar1, controls_.position(ctl::ProgressBar1) + 1);
    }
  }
  if (n == 0) {
    controls_.setText(ctl::LbInterfaceName, QStringLiteral(" Not found. "));
    return;
  }

  for (uint32_t i = 0; i < n; ++i) {
    controls_.addItem(ctl::CobBoxInterfaceName, QStringLiteral("USB%1").arg(i + 1));
    if (i < kAdapterTableSize) {
      link_.AdapterTable.with(
          [&](auto& table) { table[i].count = static_cast<uint8_t>(std::min<uint32_t>(accepted, 0xFF)); });
    }
    controls_.selectItem(ctl::CobBoxInterfaceName, static_cast<int>(i));
    ShowAvailability(static_cast<int>(i));
  }
  controls_.setText(ctl::LbInterfaceName, QStringLiteral("%1  found. ").arg(n));
  controls_.setEnabled(ctl::SpdBtnYES, true);
}

void TFormConfig::ShowAvailability(int i) {
  const bool available = link_.AdapterLocation(i).has_value();
  const QString text = QStringLiteral("  USB%1  :  %2 ").arg(i + 1).arg(available ? "Available" : "Not Available");
  controls_.setPanel(ctl::StatusBar1, 0, text);
  controls_.setEnabled(ctl::SpdBtnYES, available);
}

void TFormConfig::CobBoxInterfaceNameChange() { ShowAvailability(controls_.itemIndex(ctl::CobBoxInterfaceName)); }

void TFormConfig::SpdBtnYESClick() {
  stopKeepAlive(link_);
  controls_.setEnabled(main_.window, true);
  for (Control name : main_.confirmedButtons) controls_.setEnabled(name, true);
  controls_.setVisible(main_.pageControl, true);
  const int protocol = controls_.itemIndex(ctl::RadioGroup_Protocol);
  if (protocol == kProtocolUr) {
    controls_.setItemIndex(main_.pageControl, 0);
    if (CurrentProfile() == Profile::Lite) {
      controls_.setText(main_.window, QStringLiteral("VELMO_LIT_") + GetVersionText());
      setVisible(controls_, {main_.pageKl, main_.pageDia, main_.pageSt, main_.pageEng}, false);
      controls_.setVisible(main_.pageEep, true);
      controls_.setVisible(main_.pageEng2, false);
    }
  } else if (protocol == kProtocolCan) {
    controls_.setEnabled(main_.lastChargeDateGroup, false);
  }
  FormClose();
}

void TFormConfig::SpdBtnCANCELClick() { stopKeepAlive(link_); }

}  // namespace qv::link
