#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The way into the EEPROM windows.
std::vector<ControlDef> MainFormTabSheetEEP() {
  return {
      page(ctl::TabSheetEEP, "EEP"),
      place(Kind::Button, ctl::BitBtnSafeInfoRead, ctl::TabSheetEEP, 12, 12, 110, 36, "EEPROM")
          .font(13, true)
          .disable(),
      place(Kind::Button, ctl::BitBtn_EEP_PARA, ctl::TabSheetEEP, 132, 12, 110, 36, "EEP PARA").hide(),
  };
}

}  // namespace qv::mainwindow
