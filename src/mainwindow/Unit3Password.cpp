#include "mainwindow/Unit3Password.h"

#include "mainwindow/MainFormControls.h"
#include "mainwindow/PasswordFormControls.h"
#include "platform/Ini.h"

namespace qv::mainwindow {
namespace {

FormDef PassWordFormDef() {
  FormDef form;
  form.name = passwordCtl::FormPassWord;
  form.caption = "Quvexa Password";
  form.clientWidth = 264;
  form.clientHeight = 101;
  form.stayOnTop = true;
  form.controls = {
      place(Kind::Label, passwordCtl::Label1, kFormItself, 24, 16, 81, 18, " Password : ").ink(colour::Navy).font(15),
      place(Kind::Edit, passwordCtl::EditModePassword, kFormItself, 114, 17, 121, 21).paint(colour::Silver),
      place(Kind::Button, passwordCtl::SpdBtnPasswordYes, kFormItself, 24, 53, 59, 30, "Yes")
          .ink(colour::Navy)
          .font(19, true),
      place(Kind::Button, passwordCtl::SpdBtnPasswordNo, kFormItself, 176, 53, 59, 30, "No")
          .ink(colour::Navy)
          .font(19, true),
  };
  return form;
}

}  // namespace

bool UnlockEngineeringMode(Controls& controls) {
  const QString path = platform::currentFolderFile(QString::fromLatin1(kSafeInfoFile));
  if (!platform::writeProfileString(path, kSafeInfoSection, kSafeInfoKey, kSafeInfoMarker)) return false;
  // The window keeps its size and RUN and EXIT their places: this layout has room for the cell group and the
  // page area from the start, so the unlock only shows what it unlocks.
  controls.setVisible(ctl::FormMain, true);
  controls.setVisible(passwordCtl::FormPassWord, true);
  controls.setVisible(ctl::GroupBoxVCellList, true);
  controls.setVisible(ctl::TabSheetVM, true);
  return true;
}

TFormPassWord::TFormPassWord(platform::Services& services)
    : DeclaredForm(services.controls, PassWordFormDef()), controls_(services.controls) {
  FormCreate();
}

void TFormPassWord::FormCreate() { controls_.setColor(passwordCtl::FormPassWord, colour::LightGreen); }

void TFormPassWord::FormClose() {
  controls_.setVisible(passwordCtl::FormPassWord, false);
  controls_.setVisible(ctl::FormMain, true);
}

void TFormPassWord::SpdBtnPasswordYesClick() {
  if (controls_.text(passwordCtl::EditModePassword) == QLatin1String(kAccessPassword)) UnlockEngineeringMode(controls_);
  FormClose();
}

void TFormPassWord::SpdBtnPasswordNoClick() { FormClose(); }

void TFormPassWord::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TFormPassWord> kRoutes[] = {
      {passwordCtl::FormPassWord, UiEvent::Close, &TFormPassWord::FormClose},
      {passwordCtl::SpdBtnPasswordYes, UiEvent::Click, &TFormPassWord::SpdBtnPasswordYesClick},
      {passwordCtl::SpdBtnPasswordNo, UiEvent::Click, &TFormPassWord::SpdBtnPasswordNoClick},
  };
  routeEvent(*this, kRoutes, control, event);
}

}  // namespace qv::mainwindow
