#include "mainwindow/Unit3Password.h"

#include "platform/Ini.h"

namespace qv::mainwindow {
namespace {

// The dialog's controls.
constexpr const char* kFormPassWord = "FormPassWord";
constexpr const char* kEditModePassword = "EditModePassword";
constexpr const char* kSpdBtnPasswordYes = "SpdBtnPasswordYes";
constexpr const char* kSpdBtnPasswordNo = "SpdBtnPasswordNo";
// The main window's, which the unlock shows.
constexpr const char* kFormMain = "FormMain";
constexpr const char* kGroupBoxVCellList = "GroupBoxVCellList";
constexpr const char* kTabSheetVM = "TabSheetVM";

FormDef PassWordFormDef() {
  FormDef form;
  form.name = kFormPassWord;
  form.caption = "Quvexa Password";
  form.clientWidth = 264;
  form.clientHeight = 101;
  form.stayOnTop = true;
  form.controls = {
      place(Kind::Label, "FormPassWord.Label1", "", 24, 16, 81, 18, " Password : ").ink(colour::Navy).font(15),
      place(Kind::Edit, kEditModePassword, "", 114, 17, 121, 21).paint(colour::Silver),
      place(Kind::Button, kSpdBtnPasswordYes, "", 24, 53, 59, 30, "Yes").ink(colour::Navy).font(19, true),
      place(Kind::Button, kSpdBtnPasswordNo, "", 176, 53, 59, 30, "No").ink(colour::Navy).font(19, true),
  };
  return form;
}

}  // namespace

bool UnlockEngineeringMode(Controls& controls) {
  const QString path = platform::currentFolderFile(QString::fromLatin1(kSafeInfoFile));
  if (!platform::writeProfileString(path, kSafeInfoSection, kSafeInfoKey, kSafeInfoMarker)) return false;
  // The window keeps its size and RUN and EXIT their places: this layout has room for the cell group and the
  // page area from the start, so the unlock only shows what it unlocks.
  controls.setVisible(kFormMain, true);
  controls.setVisible(kFormPassWord, true);
  controls.setVisible(kGroupBoxVCellList, true);
  controls.setVisible(kTabSheetVM, true);
  return true;
}

TFormPassWord::TFormPassWord(platform::Services& services)
    : DeclaredForm(services.controls, PassWordFormDef()), controls_(services.controls) {
  FormCreate();
}

void TFormPassWord::FormCreate() { controls_.setColor(kFormPassWord, colour::LightGreen); }

void TFormPassWord::FormClose() {
  controls_.setVisible(kFormPassWord, false);
  controls_.setVisible(kFormMain, true);
}

void TFormPassWord::SpdBtnPasswordYesClick() {
  if (controls_.text(kEditModePassword) == QLatin1String(kAccessPassword)) UnlockEngineeringMode(controls_);
  FormClose();
}

void TFormPassWord::SpdBtnPasswordNoClick() { FormClose(); }

void TFormPassWord::onEvent(std::string_view control, UiEvent event) {
  struct Route {
    const char* control;
    UiEvent event;
    void (TFormPassWord::*handler)();
  };
  static constexpr Route kRoutes[] = {
      {kFormPassWord, UiEvent::Close, &TFormPassWord::FormClose},
      {kSpdBtnPasswordYes, UiEvent::Click, &TFormPassWord::SpdBtnPasswordYesClick},
      {kSpdBtnPasswordNo, UiEvent::Click, &TFormPassWord::SpdBtnPasswordNoClick},
  };
  for (const Route& r : kRoutes) {
    if (r.event == event && control == r.control) {
      (this->*r.handler)();
      return;
    }
  }
}

}  // namespace qv::mainwindow
