#include "mainwindow/CommandSets.h"

#include <string_view>

namespace qv::mainwindow {

void SetCommandButtonsEnabled(Controls& controls, bool enable) {
  for (const char* name : kCommandSet) {
    if (enable && std::string_view(name) == "BitBtnPrint") continue;
    controls.setEnabled(name, enable);
  }
}

void UpdateRunStopButtons(Controls& controls) {
  if (controls.text("SpdBtnRUN") != QLatin1String("STOP")) return;
  for (const char* name : kRunStartSet) controls.setEnabled(name, false);
}

}  // namespace qv::mainwindow
