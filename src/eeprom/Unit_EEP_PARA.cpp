#include "eeprom/Unit_EEP_PARA.h"

namespace qv::eeprom {
namespace {

// The toolkit's "money green".
constexpr Colour kMoneyGreen = 0xC0DCC0;

FormDef EEPParaFormDef() {
  FormDef form;
  form.name = "Form_EEP_PARA";
  form.caption = "EEPROM PARA";
  form.clientWidth = 760;
  form.clientHeight = 520;
  form.color = kMoneyGreen;
  form.stayOnTop = true;
  return form;
}

}  // namespace

TForm_EEP_PARA::TForm_EEP_PARA(platform::Services& services) : DeclaredForm(services.controls, EEPParaFormDef()) {}

void TForm_EEP_PARA::onEvent(std::string_view, UiEvent) {}

}  // namespace qv::eeprom
