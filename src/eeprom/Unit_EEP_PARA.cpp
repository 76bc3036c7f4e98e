#include "eeprom/Unit_EEP_PARA.h"

#include "eeprom/EEPParaFormControls.h"

namespace qv::eeprom {
namespace {

// The toolkit's "money green".
constexpr Colour kMoneyGreen = 0xC0DCC0;

FormDef EEPParaFormDef() {
  FormDef form;
  form.name = paraCtl::Form_EEP_PARA;
  form.caption = "EEPROM PARA";
  form.clientWidth = 760;
  form.clientHeight = 520;
  form.color = kMoneyGreen;
  form.stayOnTop = true;
  // The parameter the CAN dispatcher shows; the window's other rows come with the window's own work.
  form.controls = {
      place(Kind::Edit, paraCtl::Edit_WakeUpLineType, kFormItself, 170, 40, 100, 20),
  };
  return form;
}

}  // namespace

TForm_EEP_PARA::TForm_EEP_PARA(platform::Services& services) : DeclaredForm(services.controls, EEPParaFormDef()) {}

void TForm_EEP_PARA::onEvent(Control, UiEvent) {}

}  // namespace qv::eeprom
