#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The charge maxima of the ST packs.
std::vector<ControlDef> MainFormTabSheetST() {
  constexpr Control p = ctl::TabSheetST;
  constexpr Control max = ctl::GroupBoxMaxChgST;
  return {
      page(p, "ST"),
      place(Kind::GroupBox, max, p, 6, 4, 360, 124, " Max Chg Information "),
      place(Kind::Label, ctl::LabelMaxChgCurrent, max, 10, 24, 200, 14, "Max Charge Current"),
      place(Kind::Edit, ctl::EditMaxChgCurrent, max, 220, 20, 120, 20).locked(),
      place(Kind::Label, ctl::LabelMaxChgCounter, max, 10, 48, 200, 14, "Max Charge Counter"),
      place(Kind::Edit, ctl::EditMaxChgCounter, max, 220, 44, 120, 20).locked(),
      place(Kind::Label, ctl::LabelMaxChgTemperature, max, 10, 72, 200, 14, "Max Charge Temperature"),
      place(Kind::Edit, ctl::EditMaxChgTemperature, max, 220, 68, 120, 20).locked(),
      place(Kind::Label, ctl::LabelMaxChgCapacitymAh, max, 10, 96, 200, 14, "Max Charge Capacity (mAh)"),
      place(Kind::Edit, ctl::EditMaxChgCapacitymAh, max, 220, 92, 120, 20).locked(),
  };
}

}  // namespace qv::mainwindow
