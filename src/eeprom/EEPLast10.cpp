#include "eeprom/EEPLast10.h"

namespace qv::eeprom {
namespace {

FormDef EEPLast10FormDef() {
  constexpr const char* pages = "PageControlLast10";
  FormDef form;
  form.name = "FormEEPLast10";
  form.caption = "EEPROM Last 10";
  form.clientWidth = 600;
  form.clientHeight = 440;
  form.controls = {
      place(Kind::PageControl, pages, "", 8, 8, 584, 424),
      place(Kind::TabSheet, "TabSheetProtectLast10", pages, 0, 0, 0, 0, "Protect Last10"),
      place(Kind::Memo, "MemoProtectLast10", "TabSheetProtectLast10", 4, 4, 570, 388)
          .locked().list("EEPROM Protect Block Last 10"),
      place(Kind::TabSheet, "TabSheetLEADLast10", pages, 0, 0, 0, 0, "LEAD Last10_"),
      place(Kind::Memo, "MemoLEADLast10", "TabSheetLEADLast10", 4, 4, 570, 388)
          .locked().list("EEPROM LEAD Block Last 10"),
      place(Kind::TabSheet, "TabSheetLASTLast10", pages, 0, 0, 0, 0, "LAST Last10"),
      place(Kind::Memo, "MemoLASTLast10", "TabSheetLASTLast10", 4, 4, 570, 388)
          .locked().list("EEPROM LAST Block Last 10"),
  };
  return form;
}

}  // namespace

TFormEEPLast10::TFormEEPLast10(platform::Services& services) : DeclaredForm(services.controls, EEPLast10FormDef()) {}

void TFormEEPLast10::onEvent(std::string_view, UiEvent) {}

}  // namespace qv::eeprom
