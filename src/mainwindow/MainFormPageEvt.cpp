#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The Function Test.
std::vector<ControlDef> MainFormPageEvt() {
  return {
      page("TabSheet_EVT", "CANEVT"),
      place(Kind::Button, "SpdBtn_EVTTest", "TabSheet_EVT", 12, 12, 130, 50, "TEST").ink(colour::Navy).font(24, true),
      // The ambient temperature of the temperature check; EVT.ini fills it when it is empty.
      place(Kind::Label, "LabelEVTT1", "TabSheet_EVT", 160, 20, 60, 14, "環境溫度"),
      place(Kind::Edit, "EditEVTT1", "TabSheet_EVT", 224, 16, 40, 20),
      place(Kind::Label, "LabelEVTT1Unit", "TabSheet_EVT", 268, 20, 24, 14, "℃ "),
  };
}

}  // namespace qv::mainwindow
