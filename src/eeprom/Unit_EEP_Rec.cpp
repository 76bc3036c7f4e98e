#include "eeprom/Unit_EEP_Rec.h"

#include "eeprom/EEPRecordFormControls.h"

namespace qv::eeprom {
namespace {

// The controls that share their names with the EEPROM window's are kept under this window's name.
FormDef EEPRecordFormDef() {
  constexpr Control pages = recordCtl::PageControlEEPRecord;
  FormDef form;
  form.name = recordCtl::FormEEP_Record;
  form.caption = "EEPROM Record";
  form.clientWidth = 567;
  form.clientHeight = 616;
  form.controls = {
      place(Kind::PageControl, pages, kFormItself, 8, 8, 551, 552),
      place(Kind::TabSheet, recordCtl::TabSheetRecordHeader, pages, 0, 0, 0, 0, "Header"),
      place(Kind::Memo, recordCtl::MemoEEPHeader, recordCtl::TabSheetRecordHeader, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordProtection, pages, 0, 0, 0, 0, "Protection"),
      place(Kind::Memo, recordCtl::MemoEEPProtect, recordCtl::TabSheetRecordProtection, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordLEAD, pages, 0, 0, 0, 0, "LEAD"),
      place(Kind::Memo, recordCtl::MemoEEPNormalLEAD, recordCtl::TabSheetRecordLEAD, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordLAST, pages, 0, 0, 0, 0, "LAST"),
      place(Kind::Memo, recordCtl::MemoEEPNormalLAST, recordCtl::TabSheetRecordLAST, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordBasic, pages, 0, 0, 0, 0, "Basic"),
      place(Kind::Memo, recordCtl::MemoEEPBasicRecord, recordCtl::TabSheetRecordBasic, 4, 4, 536, 516).locked(),
      place(Kind::Button, recordCtl::BitBtnEEPBlockChoiceRead, kFormItself, 8, 572, 100, 34, "Read"),
      place(Kind::Gauge, recordCtl::CGaugeEEPROMread, kFormItself, 540, 572, 20, 36).hide(),
  };
  return form;
}

}  // namespace

TFormEEP_Record::TFormEEP_Record(platform::Services& services) : DeclaredForm(services.controls, EEPRecordFormDef()) {}

void TFormEEP_Record::onEvent(Control, UiEvent) {}

}  // namespace qv::eeprom
