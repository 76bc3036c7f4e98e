#include "mainwindow/Unit3Password.h"

#include "mainwindow/PasswordFormControls.h"

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

TFormPassWord::TFormPassWord(platform::Services& services)
    : DeclaredForm(services.controls, PassWordFormDef()), controls_(services.controls) {
  FormCreate();
}

void TFormPassWord::FormCreate() { controls_.setColor(passwordCtl::FormPassWord, colour::LightGreen); }

void TFormPassWord::onEvent(Control, UiEvent) {}

}  // namespace qv::mainwindow
