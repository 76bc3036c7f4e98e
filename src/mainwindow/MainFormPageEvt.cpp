#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The Function Test.
std::vector<ControlDef> MainFormPageEvt() {
  return {
      page("TabSheet_EVT", "CANEVT"),
      place(Kind::Button, "SpdBtn_EVTTest", "TabSheet_EVT", 12, 12, 130, 50, "TEST").ink(colour::Navy).font(24, true),
  };
}

}  // namespace qv::mainwindow
