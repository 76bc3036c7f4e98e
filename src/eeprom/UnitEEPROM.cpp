#include "eeprom/UnitEEPROM.h"

#include "eeprom/EEPROMFormControls.h"

namespace qv::eeprom {
namespace {

constexpr Colour kCream = 0xF0FBFF;

FormDef EEPROMFormDef() {
  constexpr Control pages = eepromCtl::PageControlEEP;
  constexpr Control read = eepromCtl::GroupBox1;
  constexpr Control save = eepromCtl::GroupBox2;
  constexpr Control range = eepromCtl::GroupBoxEEPRangeRead;
  FormDef form;
  form.name = eepromCtl::FormEEPROM;
  form.caption = "EEPROM Warantty informatiion";
  form.clientWidth = 640;
  form.clientHeight = 500;
  form.controls = {
      place(Kind::PageControl, pages, kFormItself, 8, 8, 624, 392),
      place(Kind::TabSheet, eepromCtl::TabSheetHeader, pages, 0, 0, 0, 0, "Header"),
      place(Kind::Memo, eepromCtl::MemoEEPHeader, eepromCtl::TabSheetHeader, 4, 4, 610, 356)
          .locked()
          .list("EEPROM Header Block"),
      place(Kind::TabSheet, eepromCtl::TabSheetProtection, pages, 0, 0, 0, 0, "Protection"),
      place(Kind::Memo, eepromCtl::MemoEEPProtect, eepromCtl::TabSheetProtection, 4, 4, 610, 356)
          .locked()
          .paint(kCream)
          .list("EEPROM Protect Block"),
      place(Kind::TabSheet, eepromCtl::TabSheetLEAD, pages, 0, 0, 0, 0, "LEAD"),
      place(Kind::Memo, eepromCtl::MemoEEPNormalLEAD, eepromCtl::TabSheetLEAD, 4, 4, 610, 356)
          .locked()
          .list("EEPROM Normal LEAD Block"),
      place(Kind::TabSheet, eepromCtl::TabSheet1, pages, 0, 0, 0, 0, "LAST"),
      place(Kind::Memo, eepromCtl::MemoEEPNormalLAST, eepromCtl::TabSheet1, 4, 4, 610, 356)
          .locked()
          .list("EEPROM Normal LAST Block"),

      place(Kind::GroupBox, read, kFormItself, 8, 408, 120, 84, "EEP Read"),
      place(Kind::Button, eepromCtl::BitBtnEEPBlockChoiceRead, read, 10, 22, 100, 30, "Read"),
      place(Kind::CheckBox, eepromCtl::CheckBoxEEPReadLast10, read, 10, 58, 100, 18, "Last 10 ").tick().hide(),
      place(Kind::GroupBox, save, kFormItself, 136, 408, 120, 84, "EEP Save File"),
      place(Kind::Button, eepromCtl::BitBtnEEPSave, save, 10, 22, 100, 30, "Save"),
      place(Kind::CheckBox, eepromCtl::CheckBoxEEPSave, save, 10, 58, 100, 18, "All Page").tick().hide(),
      place(Kind::Button, eepromCtl::BitBtnClean, kFormItself, 264, 430, 70, 30, "Clean"),
      place(Kind::Button, eepromCtl::BitBtnEEPBlockProtectRead, kFormItself, 264, 462, 70, 26, "Protect").hide(),
      place(Kind::Button, eepromCtl::BitBtnEEPClean, kFormItself, 264, 462, 70, 26, " Clean").hide(),
      place(Kind::GroupBox, range, kFormItself, 342, 408, 290, 84, "EPP page LEAD or LAST range read").disable(),
      place(Kind::Label, eepromCtl::Label82, range, 10, 28, 34, 14, "Start"),
      place(Kind::ComboBox, eepromCtl::ComboBoxEEPStartAddrRead, range, 44, 24, 80, 22),
      place(Kind::Label, eepromCtl::Label91, range, 132, 28, 20, 14, "to"),
      place(Kind::ComboBox, eepromCtl::ComboBoxEEPEndAddrRead, range, 152, 24, 80, 22),
      place(Kind::Button, eepromCtl::BitBtnEEPRange, range, 10, 52, 80, 26, "Read").disable(),
      place(Kind::Button, eepromCtl::BitBtnEEPPreView, range, 100, 52, 80, 26, "PreView"),
      place(Kind::Gauge, eepromCtl::CGaugeEEPROMread, kFormItself, 612, 430, 20, 60).hide(),
  };
  return form;
}

}  // namespace

TFormEEPROM::TFormEEPROM(platform::Services& services)
    : DeclaredForm(services.controls, EEPROMFormDef()), controls_(services.controls) {}

void TFormEEPROM::onEvent(Control control, UiEvent event) {
  if (control == eepromCtl::FormEEPROM && event == UiEvent::Close) FormClose();
}

void TFormEEPROM::FormClose() {
  controls_.setEnabled(mainWindow_, true);
  controls_.setVisible(mainWindow_, true);
}

}  // namespace qv::eeprom
