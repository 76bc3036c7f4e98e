#include "eeprom/EEPLast10.h"

#include "eeprom/EEPLast10FormControls.h"

namespace qv::eeprom {
namespace {

FormDef EEPLast10FormDef() {
  constexpr Control pages = last10Ctl::PageControlLast10;
  FormDef form;
  form.name = last10Ctl::FormEEPLast10;
  form.caption = "EEPROM Last 10";
  form.clientWidth = 600;
  form.clientHeight = 440;
  form.controls = {
      place(Kind::PageControl, pages, kFormItself, 8, 8, 584, 424),
      place(Kind::TabSheet, last10Ctl::TabSheetProtectLast10, pages, 0, 0, 0, 0, "Protect Last10"),
      place(Kind::Memo, last10Ctl::MemoProtectLast10, last10Ctl::TabSheetProtectLast10, 4, 4, 570, 388)
          .locked()
          .list("EEPROM Protect Block Last 10"),
      place(Kind::TabSheet, last10Ctl::TabSheetLEADLast10, pages, 0, 0, 0, 0, "LEAD Last10_"),
      place(Kind::Memo, last10Ctl::MemoLEADLast10, last10Ctl::TabSheetLEADLast10, 4, 4, 570, 388)
          .locked()
          .list("EEPROM LEAD Block Last 10"),
      place(Kind::TabSheet, last10Ctl::TabSheetLASTLast10, pages, 0, 0, 0, 0, "LAST Last10"),
      place(Kind::Memo, last10Ctl::MemoLASTLast10, last10Ctl::TabSheetLASTLast10, 4, 4, 570, 388)
          .locked()
          .list("EEPROM LAST Block Last 10"),
  };
  return form;
}

}  // namespace

TFormEEPLast10::TFormEEPLast10(platform::Services& services) : DeclaredForm(services.controls, EEPLast10FormDef()) {}

void TFormEEPLast10::onEvent(Control, UiEvent) {}

}  // namespace qv::eeprom
