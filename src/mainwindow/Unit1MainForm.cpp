#include "mainwindow/Unit1MainForm.h"

#include "link/CanFrames.h"
#include "link/PackMessages.h"
#include "link/Profiles.h"
#include "mainwindow/CellResistance.h"
#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormPages.h"
#include "platform/ExeInfo.h"
#include "platform/Time.h"

#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"

#include <algorithm>
#include <climits>
#include <span>

// The pictures are compiled into this library; a static library's resources are registered by hand.
static void registerMainWindowPictures() { Q_INIT_RESOURCE(MainWindowPictures); }

namespace qv::mainwindow {
namespace {

// The pages that the lite profile and an unknown name hide when the window is shown.
constexpr Control kPagesHiddenOutsideProfiles[] = {ctl::TabSheetKL, ctl::TabSheetVM,  ctl::TabSheetST,
                                                   ctl::TabSheetQV, ctl::TabSheetEEP, ctl::TabSheetENG2};
// The pages hidden at creation; only "EEP" keeps its tab.
constexpr Control kPagesHiddenAtCreation[] = {ctl::TabSheetKL,     ctl::TabSheetVM,       ctl::TabSheetST,
                                              ctl::TabSheetQV,     ctl::TabSheetENG2,     ctl::TabSheetUR96,
                                              ctl::TabSheet_BRCAN, ctl::TabSheet_CAN_ENG, ctl::TabSheet_EVT};
using link::kProtocolCan;
using link::kProtocolUr;

// The buttons whose font colour follows the mouse.
constexpr Control kHoverButtons[] = {ctl::SpdBtnConfigure, ctl::SpdBtnBusHunt, ctl::SpdBtnUpgrade};

// The boxes that read "0" after creation and after a reset of the live display, beside the thirteen cells.
constexpr Control kZeroedCellBoxes[] = {ctl::EditVCell14, ctl::Edit_HVlot, ctl::Edit_LVolt, ctl::Edit_VoltDiff};
constexpr Control kTemperatureBoxes[] = {ctl::EditT1, ctl::EditT2, ctl::EditT3};
constexpr Control kChargeBoxes[] = {ctl::EditASOC, ctl::EditRSOC};
// What a reset of the live display empties, and what it sets to "0".
constexpr Control kIdentityBoxes[] = {ctl::EditFWID, ctl::EditFWVer, ctl::EditPDSN};
constexpr Control kCounterBoxes[] = {ctl::EditCycleCnt,     ctl::EditDC,          ctl::EditFCC, ctl::EditRC,
                                     ctl::EditPackVolt,     ctl::EditPackCurrent, ctl::EditTCC, ctl::EditCellSeries,
                                     ctl::EditCellParallel, ctl::EditASOC,        ctl::EditRSOC};

// A rule that moves a bar to the number its box shows; a text that is no number leaves the bar where it is.
Controls::TextRule follow(Control bar) {
  return [bar](Controls& c, const QString& text) {
    long long value = 0;
    if (parseInt(text, &value)) c.setPosition(bar, static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)));
  };
}

void setTexts(Controls& c, std::span<const Control> names, const QString& text) {
  for (Control name : names) c.setText(name, text);
}

}  // namespace

QString PrintDateText(const QDateTime& when) { return when.date().toString(QStringLiteral("MM/dd/yyyy")); }

FormDef MainFormDef() {
  FormDef form;
  form.name = ctl::FormMain;
  form.caption = "Quvexa BMS Monitor  ( UR96 ) ";
  form.clientWidth = 760;
  form.clientHeight = 654;
  form.color = colour::Background;
  for (auto part : {MainFormFrame, MainFormTabSheetUR96, MainFormTabSheet_BRCAN, MainFormTabSheet_CAN_ENG,
                    MainFormTabSheetKL, MainFormTabSheetST, MainFormTabSheetVM, MainFormTabSheetEEP, MainFormTabSheetQV,
                    MainFormTabSheetENG2, MainFormTabSheet_EVT}) {
    std::vector<ControlDef> controls = part();
    form.controls.insert(form.controls.end(), controls.begin(), controls.end());
  }
  return form;
}

TFormMain::TFormMain(platform::Services& services, link::Link& link, MainState& state, Monitor& monitor)
    : DeclaredForm(services.controls, MainFormDef()),
      services_(services),
      controls_(services.controls),
      link_(link),
      state_(state),
      monitor_(monitor) {
  registerMainWindowPictures();
  InstallFollowRules();
  FormCreate();
}

// The change handlers TFormMain::EditVCell1Change to EditVCell13Change, EditASOCChange and EditRSOCChange, as
// store rules: a gauge or bar follows its box with no display.
void TFormMain::InstallFollowRules() {
  for (size_t i = 0; i < ctl::kCellEdits.size(); ++i)
    controls_.onTextChanged(ctl::kCellEdits[i], follow(ctl::kCellGauges[i]));
  controls_.onTextChanged(ctl::EditASOC, follow(ctl::ProgressBarSOH));
  controls_.onTextChanged(ctl::EditRSOC, follow(ctl::ProgressBarSOC));
}

void TFormMain::FormCreate() {
  // The shell command that deleted the lite executables from the current folder is deliberately not built.
  LoadEvtIniAtStartUp(state_.records, controls_);
  controls_.setItemIndex(ctl::PageControl2, 0);
  controls_.setText(ctl::CheckBoxEEPROMErase, QString());
  controls_.setColor(ctl::Shape_TX, colour::White);
  controls_.setColor(ctl::Shape_RX, colour::White);
  controls_.setColor(ctl::FormMain, colour::Background);

  setTexts(controls_, kChargeBoxes, QStringLiteral("0"));
  setTexts(controls_, kTemperatureBoxes, QString());
  setTexts(controls_, ctl::kCellEdits, QStringLiteral("0"));
  setTexts(controls_, kZeroedCellBoxes, QStringLiteral("0"));

  // An installed program writes under the user's data folder, and says where.
  const QString files = platform::writesToDataFolder() ? QStringLiteral("   Files: ") + platform::writeFolder()
                                                       : QString();
  controls_.setPanel(ctl::StatusBarView, 3, QStringLiteral("   ") + platform::exeInfo().fileName + files);

  for (Control page : kPagesHiddenAtCreation) controls_.setVisible(page, false);
  controls_.setVisible(ctl::PageControl2, false);
  controls_.setVisible(ctl::TabSheetEEP, true);
}

void TFormMain::FormShow() {
  controls_.setColor(ctl::LabelPRINTDate, colour::Background);
  controls_.setText(ctl::LabelPRINTDate, PrintDateText(platform::now()));
  controls_.setText(ctl::Chart1, QStringLiteral("---  SOC  ---"));
  controls_.setColor(ctl::Chart1, colour::Background);
  ApplyProfileOnShow();
}

void TFormMain::ApplyProfileOnShow() {
  const link::Profile profile = link::CurrentProfile();
  switch (profile) {
    case link::Profile::Lite:
    case link::Profile::None:
      controls_.setText(
          ctl::FormMain,
          QString::fromLatin1(profile == link::Profile::Lite ? "VELMO_LIT_" : "VELMO_XXX_") + link::GetVersionText());
      for (Control page : kPagesHiddenOutsideProfiles) controls_.setVisible(page, false);
      break;
    case link::Profile::Eng:
    case link::Profile::Evt: controls_.setVisible(ctl::TabSheet_CAN_ENG, true); break;
    case link::Profile::Debug:
    case link::Profile::Dia:
    case link::Profile::Eep: break;
  }
}

void TFormMain::ResetLiveDisplay() {
  setTexts(controls_, kIdentityBoxes, QString());
  setTexts(controls_, kCounterBoxes, QStringLiteral("0"));
  setTexts(controls_, kTemperatureBoxes, QString());
  setTexts(controls_, ctl::kCellEdits, QStringLiteral("0"));
  setTexts(controls_, kZeroedCellBoxes, QStringLiteral("0"));
  for (Control flag : ctl::kFlagEdits) {
    controls_.setFontColor(flag, colour::Navy);
    controls_.setColor(flag, colour::Parent);
  }
  controls_.setText(ctl::EditCurrentSign, QStringLiteral(" - None - "));
  controls_.setColor(ctl::EditCurrentSign, colour::ButtonFace);
}

void TFormMain::SpdBtnRUNClick() { monitor_.SpdBtnRUNClick(); }

void TFormMain::SpdBtnConfigureClick() {
  controls_.setVisible(ctl::PageControl2, false);
  controls_.setEnabled(ctl::FormMain, false);
  controls_.setVisible(link::ctl::FormConfig, true);
}

void TFormMain::SpdBtnUpgradeClick() {
  controls_.setVisible(ctl::FormMain, false);
  controls_.setVisible(firmwareWindow_, true);
}

void TFormMain::SpdBtnExitClick() {
  controls_.setEnabled(ctl::Timer_300h_ON, false);
  services_.gui().closeWindow(ctl::FormMain);
}

// The main window's close ends the program. While another window has it disabled (the EEPROM window, whose read
// may not be saved yet; the configuration dialog) a close asked from the title bar or the keyboard is refused,
// as the firmware window refuses one while its worker runs.
void TFormMain::FormClose() {
  if (!controls_.enabled(ctl::FormMain)) controls_.setVisible(ctl::FormMain, true);
}

void TFormMain::SpdBtnPRINTClick() {
  controls_.setEnabled(ctl::SpdBtnPRINT, false);
  // The button stays off a second after printing, so one click prints one page; a timer gives it back, so the
  // GUI thread does not wait that second.
  if (services_.gui().printWindow(ctl::FormMain)) {
    controls_.setEnabled(ctl::printPauseTimer, true);
  } else {
    controls_.setEnabled(ctl::SpdBtnPRINT, true);
  }
}

void TFormMain::printPauseTimerTimer() {
  controls_.setEnabled(ctl::printPauseTimer, false);
  controls_.setEnabled(ctl::SpdBtnPRINT, true);
}

void TFormMain::Timer_300h_ONTimer() { SendKeepAlive300h(); }

bool TFormMain::SendKeepAlive300h() {
  if (link_.AdapterHandle.load() == 0) return false;
  link::CanMessage keepAlive;
  keepAlive.identifier = link::kCanKeepAlive;
  keepAlive.dataLength = 8;
  constexpr uint8_t kData[8] = {0x01, 0x5A, 0x00, 0x5A, 0x00, 0x00, 0x00, 0x00};
  std::copy(std::begin(kData), std::end(kData), keepAlive.data);
  if (link::CanSendFrame(link_, keepAlive) != 0) return false;
  link_.BlinkTx();
  return true;
}

void TFormMain::BitBtnCellRPrarmLoadClick() { CellResistanceLoadClick(controls_, state_.CellResistance); }

void TFormMain::BitBtnRCellmOmhAdjustClick() { CellResistanceReadClick(controls_); }

void TFormMain::BitBtnWCellmOmhAdjustClick() { CellResistanceWriteClick(controls_); }

void TFormMain::BitBtnSafeInfoReadClick() {
  switch (controls_.itemIndex(link::ctl::RadioGroup_Protocol)) {
    case kProtocolUr:
      controls_.setEnabled(ctl::FormMain, false);
      controls_.setVisible(eepromWindow_, true);
      break;
    case kProtocolCan: controls_.setVisible(eepromRecordWindow_, true); break;
    default: break;  // no protocol chosen: no window to show
  }
}

void TFormMain::BitBtn_EEP_READClick() { controls_.setVisible(eepromRecordWindow_, true); }

void TFormMain::BitBtn_EEP_PARAClick() {}

void TFormMain::installClick(Control control, std::function<void()> handler) {
  installedClicks_[control] = std::move(handler);
}

void TFormMain::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TFormMain> kRoutes[] = {
      {ctl::FormMain, UiEvent::Show, &TFormMain::FormShow},
      {ctl::FormMain, UiEvent::Close, &TFormMain::FormClose},
      {ctl::SpdBtnRUN, UiEvent::Click, &TFormMain::SpdBtnRUNClick},
      {ctl::SpdBtnConfigure, UiEvent::Click, &TFormMain::SpdBtnConfigureClick},
      {ctl::SpdBtnUpgrade, UiEvent::Click, &TFormMain::SpdBtnUpgradeClick},
      {ctl::SpdBtnExit, UiEvent::Click, &TFormMain::SpdBtnExitClick},
      {ctl::SpdBtnPRINT, UiEvent::Click, &TFormMain::SpdBtnPRINTClick},
      {ctl::printPauseTimer, UiEvent::Timer, &TFormMain::printPauseTimerTimer},
      {ctl::Timer_300h_ON, UiEvent::Timer, &TFormMain::Timer_300h_ONTimer},
      {ctl::BitBtnSafeInfoRead, UiEvent::Click, &TFormMain::BitBtnSafeInfoReadClick},
      {ctl::BitBtn_EEP_READ, UiEvent::Click, &TFormMain::BitBtn_EEP_READClick},
      {ctl::BitBtn_EEP_PARA, UiEvent::Click, &TFormMain::BitBtn_EEP_PARAClick},
      {ctl::BitBtnCellRPrarmLoad, UiEvent::Click, &TFormMain::BitBtnCellRPrarmLoadClick},
      {ctl::BitBtnRCellmOmhAdjust, UiEvent::Click, &TFormMain::BitBtnRCellmOmhAdjustClick},
      {ctl::BitBtnWCellmOmhAdjust, UiEvent::Click, &TFormMain::BitBtnWCellmOmhAdjustClick},
  };
  if (routeEvent(*this, kRoutes, control, event)) return;
  if (event == UiEvent::Click) {
    const auto installed = installedClicks_.find(control);
    if (installed != installedClicks_.end() && installed->second) {
      installed->second();
      return;
    }
  }
  if (event == UiEvent::MouseEnter || event == UiEvent::MouseLeave) {
    for (Control button : kHoverButtons) {
      if (control == button) controls_.setFontColor(button, event == UiEvent::MouseEnter ? colour::Blue : colour::Grey);
    }
  }
}

}  // namespace qv::mainwindow
