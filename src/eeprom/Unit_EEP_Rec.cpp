#include "eeprom/Unit_EEP_Rec.h"

namespace qv::eeprom {
namespace {

// The controls that share their names with the EEPROM window's are kept under this window's name.
FormDef EEPRecordFormDef() {
  constexpr const char* pages = "PageControlEEPRecord";
  FormDef form;
  form.name = "FormEEP_Record";
  form.caption = "EEPROM Record";
  form.clientWidth = 567;
  form.clientHeight = 616;
  form.controls = {
      place(Kind::PageControl, pages, "", 8, 8, 551, 552),
      place(Kind::TabSheet, "TabSheetRecordHeader", pages, 0, 0, 0, 0, "Header"),
      place(Kind::Memo, "FormEEP_Record.MemoEEPHeader", "TabSheetRecordHeader", 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, "TabSheetRecordProtection", pages, 0, 0, 0, 0, "Protection"),
      place(Kind::Memo, "FormEEP_Record.MemoEEPProtect", "TabSheetRecordProtection", 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, "TabSheetRecordLEAD", pages, 0, 0, 0, 0, "LEAD"),
      place(Kind::Memo, "FormEEP_Record.MemoEEPNormalLEAD", "TabSheetRecordLEAD", 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, "TabSheetRecordLAST", pages, 0, 0, 0, 0, "LAST"),
      place(Kind::Memo, "FormEEP_Record.MemoEEPNormalLAST", "TabSheetRecordLAST", 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, "TabSheetRecordBasic", pages, 0, 0, 0, 0, "Basic"),
      place(Kind::Memo, "MemoEEPBasicRecord", "TabSheetRecordBasic", 4, 4, 536, 516).locked(),
      place(Kind::Button, "FormEEP_Record.BitBtnEEPBlockChoiceRead", "", 8, 572, 100, 34, "Read"),
      place(Kind::Gauge, "FormEEP_Record.CGaugeEEPROMread", "", 540, 572, 20, 36).hide(),
  };
  return form;
}

}  // namespace

TFormEEP_Record::TFormEEP_Record(platform::Services& services) : DeclaredForm(services.controls, EEPRecordFormDef()) {}

void TFormEEP_Record::onEvent(std::string_view, UiEvent) {}

}  // namespace qv::eeprom
