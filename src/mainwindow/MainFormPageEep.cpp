#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The way into the EEPROM windows.
std::vector<ControlDef> MainFormPageEep() {
  return {
      page("TabSheetEEP", "EEP"),
      place(Kind::Button, "BitBtnSafeInfoRead", "TabSheetEEP", 12, 12, 110, 36, "EEPROM").font(13, true).disable(),
      place(Kind::Button, "BitBtn_EEP_PARA", "TabSheetEEP", 132, 12, 110, 36, "EEP PARA").hide(),
  };
}

}  // namespace qv::mainwindow
