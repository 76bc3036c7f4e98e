#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The serial number and the protection settings of the KL packs.
std::vector<ControlDef> MainFormTabSheetKL() {
  constexpr Control p = ctl::TabSheetKL;
  constexpr Control sn = ctl::GroupBoxPackSN;
  constexpr Control max = ctl::GroupBoxMaxChgKL;
  return {
      page(p, "KL"),
      place(Kind::GroupBox, sn, p, 6, 4, 360, 56, " Pack Serial Number "),
      place(Kind::Edit, ctl::EditPDSN, sn, 10, 22, 170, 20),
      place(Kind::Button, ctl::SpdBtnSNSet, sn, 190, 20, 70, 24, "Set").hide().disable(),
      place(Kind::Button, ctl::SpdBtnSNGet, sn, 268, 20, 70, 24, "Get").disable(),
      place(Kind::GroupBox, max, p, 6, 66, 360, 124, " Max Chg Information "),
      place(Kind::Label, ctl::LabelDsgProtectionCurrent, max, 10, 24, 200, 14, "Discharge Protection Current"),
      place(Kind::Edit, ctl::EditDsgProtectionCurrent, max, 220, 20, 120, 20).locked(),
      place(Kind::Label, ctl::LabelDsgProtectionDelay, max, 10, 48, 200, 14, "Discharge Protection Delay"),
      place(Kind::Edit, ctl::EditDsgProtectionDelay, max, 220, 44, 120, 20).locked(),
      place(Kind::Label, ctl::LabelChgProtectionCurrent, max, 10, 72, 200, 14, "Charge Protection Current"),
      place(Kind::Edit, ctl::EditChgProtectionCurrent, max, 220, 68, 120, 20).locked(),
      place(Kind::Label, ctl::LabelChgProtectionDelay, max, 10, 96, 200, 14, "Charge Protection Delay"),
      place(Kind::Edit, ctl::EditChgProtectionDelay, max, 220, 92, 120, 20).locked(),
  };
}

}  // namespace qv::mainwindow
