#include "mainwindow/Unit3Password.h"

namespace qv::mainwindow {
namespace {

FormDef PassWordFormDef() {
  FormDef form;
  form.name = "FormPassWord";
  form.caption = "Quvexa Password";
  form.clientWidth = 264;
  form.clientHeight = 101;
  form.stayOnTop = true;
  form.controls = {
      place(Kind::Label, "FormPassWord.Label1", "", 24, 16, 81, 18, " Password : ").ink(colour::Navy).font(15),
      place(Kind::Edit, "EditModePassword", "", 114, 17, 121, 21).paint(colour::Silver),
      place(Kind::Button, "SpdBtnPasswordYes", "", 24, 53, 59, 30, "Yes").ink(colour::Navy).font(19, true),
      place(Kind::Button, "SpdBtnPasswordNo", "", 176, 53, 59, 30, "No").ink(colour::Navy).font(19, true),
  };
  return form;
}

}  // namespace

TFormPassWord::TFormPassWord(platform::Services& services)
    : DeclaredForm(services.controls, PassWordFormDef()), controls_(services.controls) {
  FormCreate();
}

void TFormPassWord::FormCreate() { controls_.setColor("FormPassWord", colour::LightGreen); }

void TFormPassWord::onEvent(std::string_view, UiEvent) {}

}  // namespace qv::mainwindow
