#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The Function Test.
std::vector<ControlDef> MainFormTabSheet_EVT() {
  return {
      page(ctl::TabSheet_EVT, "CANEVT"),
      place(Kind::Button, ctl::SpdBtn_EVTTest, ctl::TabSheet_EVT, 12, 12, 130, 50, "TEST")
          .ink(colour::Navy)
          .font(24, true),
      // The ambient temperature of the temperature check; EVT.ini fills it when it is empty.
      place(Kind::Label, ctl::LabelEVTT1, ctl::TabSheet_EVT, 160, 20, 60, 14, "環境溫度"),
      place(Kind::Edit, ctl::EditEVTT1, ctl::TabSheet_EVT, 224, 16, 40, 20),
      place(Kind::Label, ctl::LabelEVTT1Unit, ctl::TabSheet_EVT, 268, 20, 24, 14, "℃ "),
  };
}

}  // namespace qv::mainwindow
