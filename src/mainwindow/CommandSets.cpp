#include "mainwindow/CommandSets.h"

#include "mainwindow/MainFormControls.h"

#include <string_view>

namespace qv::mainwindow {

void SetCommandButtonsEnabled(Controls& controls, bool enable) {
  for (Control name : kCommandSet) {
    if (enable && name == ctl::BitBtnPrint) continue;
    controls.setEnabled(name, enable);
  }
}

void UpdateRunStopButtons(Controls& controls) {
  if (controls.text(ctl::SpdBtnRUN) != QLatin1String("STOP")) return;
  for (Control name : kRunStartSet) controls.setEnabled(name, false);
}

}  // namespace qv::mainwindow
