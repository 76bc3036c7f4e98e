#include "eeprom/UnitEEPROM.h"

namespace qv::eeprom {
namespace {

constexpr Colour kCream = 0xF0FBFF;

FormDef EEPROMFormDef() {
  constexpr const char* pages = "PageControlEEP";
  constexpr const char* read = "FormEEPROM.GroupBox1";
  constexpr const char* save = "FormEEPROM.GroupBox2";
  constexpr const char* range = "GroupBoxEEPRangeRead";
  FormDef form;
  form.name = "FormEEPROM";
  form.caption = "EEPROM Warantty informatiion";
  form.clientWidth = 640;
  form.clientHeight = 500;
  form.controls = {
      place(Kind::PageControl, pages, "", 8, 8, 624, 392),
      place(Kind::TabSheet, "TabSheetHeader", pages, 0, 0, 0, 0, "Header"),
      place(Kind::Memo, "MemoEEPHeader", "TabSheetHeader", 4, 4, 610, 356).locked().list("EEPROM Header Block"),
      place(Kind::TabSheet, "TabSheetProtection", pages, 0, 0, 0, 0, "Protection"),
      place(Kind::Memo, "MemoEEPProtect", "TabSheetProtection", 4, 4, 610, 356)
          .locked().paint(kCream).list("EEPROM Protect Block"),
      place(Kind::TabSheet, "TabSheetLEAD", pages, 0, 0, 0, 0, "LEAD"),
      place(Kind::Memo, "MemoEEPNormalLEAD", "TabSheetLEAD", 4, 4, 610, 356).locked().list("EEPROM Normal LEAD Block"),
      place(Kind::TabSheet, "TabSheet1", pages, 0, 0, 0, 0, "LAST"),
      place(Kind::Memo, "MemoEEPNormalLAST", "TabSheet1", 4, 4, 610, 356).locked().list("EEPROM Normal LAST Block"),

      place(Kind::GroupBox, read, "", 8, 408, 120, 84, "EEP Read"),
      place(Kind::Button, "BitBtnEEPBlockChoiceRead", read, 10, 22, 100, 30, "Read"),
      place(Kind::CheckBox, "CheckBoxEEPReadLast10", read, 10, 58, 100, 18, "Last 10 ").tick().hide(),
      place(Kind::GroupBox, save, "", 136, 408, 120, 84, "EEP Save File"),
      place(Kind::Button, "BitBtnEEPSave", save, 10, 22, 100, 30, "Save"),
      place(Kind::CheckBox, "CheckBoxEEPSave", save, 10, 58, 100, 18, "All Page").tick().hide(),
      place(Kind::Button, "BitBtnClean", "", 264, 430, 70, 30, "Clean"),
      place(Kind::Button, "BitBtnEEPBlockProtectRead", "", 264, 462, 70, 26, "Protect").hide(),
      place(Kind::Button, "BitBtnEEPClean", "", 264, 462, 70, 26, " Clean").hide(),
      place(Kind::GroupBox, range, "", 342, 408, 290, 84, "EPP page LEAD or LAST range read").disable(),
      place(Kind::Label, "Label82", range, 10, 28, 34, 14, "Start"),
      place(Kind::ComboBox, "ComboBoxEEPStartAddrRead", range, 44, 24, 80, 22),
      place(Kind::Label, "Label91", range, 132, 28, 20, 14, "to"),
      place(Kind::ComboBox, "ComboBoxEEPEndAddrRead", range, 152, 24, 80, 22),
      place(Kind::Button, "BitBtnEEPRange", range, 10, 52, 80, 26, "Read").disable(),
      place(Kind::Button, "BitBtnEEPPreView", range, 100, 52, 80, 26, "PreView"),
      place(Kind::Gauge, "CGaugeEEPROMread", "", 612, 430, 20, 60).hide(),
  };
  return form;
}

}  // namespace

TFormEEPROM::TFormEEPROM(platform::Services& services)
    : DeclaredForm(services.controls, EEPROMFormDef()), controls_(services.controls) {}

void TFormEEPROM::onEvent(std::string_view control, UiEvent event) {
  if (control == "FormEEPROM" && event == UiEvent::Close) FormClose();
}

void TFormEEPROM::FormClose() {
  controls_.setEnabled("FormMain", true);
  controls_.setVisible("FormMain", true);
}

}  // namespace qv::eeprom
