#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The charge maxima of the ST packs.
std::vector<ControlDef> MainFormPageSt() {
  constexpr const char* p = "TabSheetST";
  constexpr const char* max = "GroupBoxMaxChgST";
  return {
      page(p, "ST"),
      place(Kind::GroupBox, max, p, 6, 4, 360, 124, " Max Chg Information "),
      place(Kind::Label, "LabelMaxChgCurrent", max, 10, 24, 200, 14, "Max Charge Current"),
      place(Kind::Edit, "EditMaxChgCurrent", max, 220, 20, 120, 20).locked(),
      place(Kind::Label, "LabelMaxChgCounter", max, 10, 48, 200, 14, "Max Charge Counter"),
      place(Kind::Edit, "EditMaxChgCounter", max, 220, 44, 120, 20).locked(),
      place(Kind::Label, "LabelMaxChgTemperature", max, 10, 72, 200, 14, "Max Charge Temperature"),
      place(Kind::Edit, "EditMaxChgTemperature", max, 220, 68, 120, 20).locked(),
      place(Kind::Label, "LabelMaxChgCapacitymAh", max, 10, 96, 200, 14, "Max Charge Capacity (mAh)"),
      place(Kind::Edit, "EditMaxChgCapacitymAh", max, 220, 92, 120, 20).locked(),
  };
}

}  // namespace qv::mainwindow
