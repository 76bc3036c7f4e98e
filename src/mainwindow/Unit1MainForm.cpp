#include "mainwindow/Unit1MainForm.h"

#include "link/Profiles.h"
#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormPages.h"
#include "platform/ExeInfo.h"
#include "platform/Time.h"

#include <algorithm>
#include <climits>
#include <span>

// The pictures are compiled into this library; a static library's resources are registered by hand.
static void registerMainWindowPictures() { Q_INIT_RESOURCE(MainWindowPictures); }

namespace qv::mainwindow {
namespace {

// The pages that the lite profile and an unknown name hide when the window is shown.
constexpr const char* kPagesHiddenOutsideProfiles[] = {"TabSheetKL",  "TabSheetVM",  "TabSheetST",
                                                       "TabSheetQV",  "TabSheetEEP", "TabSheetENG2"};
// The pages hidden at creation; only "EEP" keeps its tab.
constexpr const char* kPagesHiddenAtCreation[] = {"TabSheetKL",   "TabSheetVM",     "TabSheetST",
                                                  "TabSheetQV",   "TabSheetENG2",   "TabSheetUR96",
                                                  "TabSheet_BRCAN", "TabSheet_CAN_ENG", "TabSheet_EVT"};
// The buttons whose font colour follows the mouse.
constexpr const char* kHoverButtons[] = {"SpdBtnConfigure", "SpdBtnBusHunt", "SpdBtnUpgrade"};

// The boxes that read "0" after creation and after a reset of the live display, beside the thirteen cells.
constexpr const char* kZeroedCellBoxes[] = {"EditVCell14", "Edit_HVlot", "Edit_LVolt", "Edit_VoltDiff"};
constexpr const char* kTemperatureBoxes[] = {"EditT1", "EditT2", "EditT3"};
constexpr const char* kChargeBoxes[] = {"EditASOC", "EditRSOC"};
// What a reset of the live display empties, and what it sets to "0".
constexpr const char* kIdentityBoxes[] = {"EditFWID", "EditFWVer", "EditPDSN"};
constexpr const char* kCounterBoxes[] = {"EditCycleCnt", "EditDC",       "EditFCC",        "EditRC",
                                         "EditPackVolt", "EditPackCurrent", "EditTCC",     "EditCellSeries",
                                         "EditCellParallel", "EditASOC", "EditRSOC"};

// A rule that moves a bar to the number its box shows; a text that is no number leaves the bar where it is.
Controls::TextRule follow(const char* bar) {
  return [bar](Controls& c, const QString& text) {
    long long value = 0;
    if (parseInt(text, &value)) c.setPosition(bar, static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)));
  };
}

void setTexts(Controls& c, std::span<const char* const> names, const QString& text) {
  for (const char* name : names) c.setText(name, text);
}

}  // namespace

QString PrintDateText(const QDateTime& when) { return when.date().toString(QStringLiteral("MM/dd/yyyy")); }

FormDef MainFormDef() {
  FormDef form;
  form.name = "FormMain";
  form.caption = "Quvexa BMS Monitor  ( UR96 ) ";
  form.clientWidth = 760;
  form.clientHeight = 654;
  form.color = colour::Background;
  for (auto part : {MainFormFrame, MainFormPageUr, MainFormPageCan, MainFormPageCanEng, MainFormPageKl,
                    MainFormPageSt, MainFormPageDia, MainFormPageEep, MainFormPageEng, MainFormPageEng2,
                    MainFormPageEvt}) {
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

void TFormMain::InstallFollowRules() {
  for (size_t i = 0; i < kCellEdits.size(); ++i) controls_.onTextChanged(kCellEdits[i], follow(kCellGauges[i]));
  controls_.onTextChanged("EditASOC", follow("ProgressBarSOH"));
  controls_.onTextChanged("EditRSOC", follow("ProgressBarSOC"));
}

void TFormMain::FormCreate() {
  // The shell command that deleted the lite executables from the current folder is deliberately not built.
  LoadEvtIniAtStartUp(state_.records, controls_);
  controls_.setItemIndex("PageControl2", 0);
  controls_.setText("CheckBoxEEPROMErase", QString());
  controls_.setColor("Shape_TX", colour::White);
  controls_.setColor("Shape_RX", colour::White);
  controls_.setColor("FormMain", colour::Background);

  setTexts(controls_, kChargeBoxes, QStringLiteral("0"));
  setTexts(controls_, kTemperatureBoxes, QString());
  setTexts(controls_, kCellEdits, QStringLiteral("0"));
  setTexts(controls_, kZeroedCellBoxes, QStringLiteral("0"));

  // An installed program writes under the user's data folder, and says where.
  const QString files =
      platform::writesToDataFolder() ? QStringLiteral("   Files: ") + platform::writeFolder() : QString();
  controls_.setPanel("StatusBarView", 3, QStringLiteral("   ") + platform::exeInfo().fileName + files);

  for (const char* page : kPagesHiddenAtCreation) controls_.setVisible(page, false);
  controls_.setVisible("PageControl2", false);
  controls_.setVisible("TabSheetEEP", true);
}

void TFormMain::FormShow() {
  controls_.setColor("LabelPRINTDate", colour::Background);
  controls_.setText("LabelPRINTDate", PrintDateText(platform::now()));
  controls_.setText("Chart1", QStringLiteral("---  SOC  ---"));
  controls_.setColor("Chart1", colour::Background);
  ApplyProfileOnShow();
}

void TFormMain::ApplyProfileOnShow() {
  const link::Profile profile = link::CurrentProfile();
  switch (profile) {
    case link::Profile::Lite:
    case link::Profile::None:
      controls_.setText("FormMain", QString::fromLatin1(profile == link::Profile::Lite ? "VELMO_LIT_" : "VELMO_XXX_") +
                                        link::GetVersionText());
      for (const char* page : kPagesHiddenOutsideProfiles) controls_.setVisible(page, false);
      break;
    case link::Profile::Eng:
    case link::Profile::Evt:
      controls_.setVisible("TabSheet_CAN_ENG", true);
      break;
    case link::Profile::Debug:
    case link::Profile::Dia:
    case link::Profile::Eep:
      break;
  }
}

void TFormMain::ResetLiveDisplay() {
  setTexts(controls_, kIdentityBoxes, QString());
  setTexts(controls_, kCounterBoxes, QStringLiteral("0"));
  setTexts(controls_, kTemperatureBoxes, QString());
  setTexts(controls_, kCellEdits, QStringLiteral("0"));
  setTexts(controls_, kZeroedCellBoxes, QStringLiteral("0"));
  for (const char* flag : kFlagEdits) {
    controls_.setFontColor(flag, colour::Navy);
    controls_.setColor(flag, colour::Parent);
  }
  controls_.setText("EditCurrentSign", QStringLiteral(" - None - "));
  controls_.setColor("EditCurrentSign", colour::ButtonFace);
}

void TFormMain::SpdBtnRUNClick() { monitor_.SpdBtnRUNClick(); }

void TFormMain::SpdBtnConfigureClick() {
  controls_.setVisible("PageControl2", false);
  controls_.setEnabled("FormMain", false);
  controls_.setVisible("FormConfig", true);
}

void TFormMain::SpdBtnUpgradeClick() {
  controls_.setVisible("FormMain", false);
  controls_.setVisible("FormFWUpgrade", true);
}

void TFormMain::SpdBtnExitClick() {
  controls_.setEnabled("Timer_300h_ON", false);
  services_.gui().closeWindow("FormMain");
}

void TFormMain::SpdBtnPRINTClick() {
  controls_.setEnabled("SpdBtnPRINT", false);
  // The button stays off a moment after printing, so one click prints one page.
  if (services_.gui().printWindow("FormMain")) platform::sleepMs(1000);
  controls_.setEnabled("SpdBtnPRINT", true);
}

void TFormMain::onEvent(std::string_view control, UiEvent event) {
  using Handler = void (TFormMain::*)();
  struct Route {
    const char* control;
    UiEvent event;
    Handler handler;
  };
  static constexpr Route kRoutes[] = {
      {"FormMain", UiEvent::Show, &TFormMain::FormShow},
      {"SpdBtnRUN", UiEvent::Click, &TFormMain::SpdBtnRUNClick},
      {"SpdBtnConfigure", UiEvent::Click, &TFormMain::SpdBtnConfigureClick},
      {"SpdBtnUpgrade", UiEvent::Click, &TFormMain::SpdBtnUpgradeClick},
      {"SpdBtnExit", UiEvent::Click, &TFormMain::SpdBtnExitClick},
      {"SpdBtnPRINT", UiEvent::Click, &TFormMain::SpdBtnPRINTClick},
  };
  for (const Route& r : kRoutes) {
    if (r.event == event && control == r.control) {
      (this->*r.handler)();
      return;
    }
  }
  if (event == UiEvent::MouseEnter || event == UiEvent::MouseLeave) {
    for (const char* button : kHoverButtons) {
      if (control == button) controls_.setFontColor(button, event == UiEvent::MouseEnter ? colour::Blue : colour::Grey);
    }
  }
}

}  // namespace qv::mainwindow
