#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The UR live view.
std::vector<ControlDef> MainFormTabSheetUR96() {
  constexpr Control info = ctl::GroupBoxBatteryInfo1;
  constexpr Control fw = ctl::GroupBoxFWProduction;
  constexpr Control last = ctl::GroupBoxLastChgDate;
  return {
      page(ctl::TabSheetUR96, "UR"),

      place(Kind::GroupBox, info, ctl::TabSheetUR96, 6, 4, 372, 136, " Battery Informatiom  1 "),
      place(Kind::Label, ctl::LabelCycleCnt, info, 10, 24, 90, 14, "Cycle Count"),
      place(Kind::Edit, ctl::EditCycleCnt, info, 102, 20, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelPackVolt, info, 10, 46, 90, 14, "Pack Volt (mV)"),
      place(Kind::Edit, ctl::EditPackVolt, info, 102, 42, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelPackCurrent, info, 10, 68, 90, 14, "Current (mA)"),
      place(Kind::Edit, ctl::EditPackCurrent, info, 102, 64, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelCellSeries, info, 10, 90, 90, 14, "Cells in Series"),
      place(Kind::Edit, ctl::EditCellSeries, info, 102, 86, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelCellParallel, info, 10, 112, 90, 14, "Cells Parallel"),
      place(Kind::Edit, ctl::EditCellParallel, info, 102, 108, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelDC, info, 186, 24, 104, 14, "Design Cap (mAh)"),
      place(Kind::Edit, ctl::EditDC, info, 292, 20, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelRC, info, 186, 46, 104, 14, "Remain Cap (mAh)"),
      place(Kind::Edit, ctl::EditRC, info, 292, 42, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelTCC, info, 186, 68, 104, 14, "Total Chg (mAh)"),
      place(Kind::Edit, ctl::EditTCC, info, 292, 64, 72, 20, "0").locked(),
      place(Kind::Label, ctl::LabelFCC, info, 186, 90, 104, 14, "Full Chg (mAh)").hide(),
      place(Kind::Edit, ctl::EditFCC, info, 292, 86, 72, 20, "0").locked().hide(),

      place(Kind::GroupBox, fw, ctl::TabSheetUR96, 6, 144, 372, 52, " F/W Production"),
      place(Kind::Label, ctl::LabelFWVer, fw, 10, 26, 44, 14, "Version"),
      place(Kind::Edit, ctl::EditFWVer, fw, 56, 22, 70, 20).locked(),
      place(Kind::Label, ctl::LabelFWID, fw, 140, 26, 20, 14, "ID"),
      place(Kind::Edit, ctl::EditFWID, fw, 162, 22, 202, 20).locked(),

      place(Kind::GroupBox, ctl::GroupBoxRTC, ctl::TabSheetUR96, 6, 200, 372, 50, " RTC "),
      place(Kind::Edit, ctl::EditRTC, ctl::GroupBoxRTC, 10, 20, 200, 20).locked(),

      place(Kind::GroupBox, ctl::GroupBoxSOHWh, ctl::TabSheetUR96, 386, 4, 170, 52, " SOH "),
      place(Kind::Edit, ctl::Edit_UR96_SOH_Wh, ctl::GroupBoxSOHWh, 10, 22, 100, 20).locked(),
      place(Kind::Label, ctl::LabelSOHWh, ctl::GroupBoxSOHWh, 116, 26, 30, 14, "Wh"),
      place(Kind::GroupBox, ctl::GroupBoxSOCWh, ctl::TabSheetUR96, 386, 60, 170, 52, " SOC "),
      place(Kind::Edit, ctl::Edit_UR96_SOC_Wh, ctl::GroupBoxSOCWh, 10, 22, 100, 20).locked(),
      place(Kind::Label, ctl::LabelSOCWh, ctl::GroupBoxSOCWh, 116, 26, 30, 14, "Wh"),
      place(Kind::GroupBox, ctl::GroupBoxBatteryWh, ctl::TabSheetUR96, 386, 116, 170, 52, " Battery Capacity"),
      place(Kind::Edit, ctl::Edit_UR96_Battery_Wh, ctl::GroupBoxBatteryWh, 10, 22, 100, 20).locked(),
      place(Kind::Label, ctl::LabelBatteryWh, ctl::GroupBoxBatteryWh, 116, 26, 30, 14, "Wh"),

      place(Kind::GroupBox, last, ctl::TabSheetUR96, 386, 172, 346, 76, "Last Charge Date").hide(),
      place(Kind::CheckBox, ctl::CheckBoxLastChgDate, last, 10, 20, 120, 18, "Last Charge Date"),
      place(Kind::Edit, ctl::EditLastChgDate, last, 134, 18, 130, 20).locked(),
      place(Kind::Button, ctl::SpdBtnLastChgDateGet, last, 270, 16, 66, 24, "READ").hide(),
      place(Kind::Label, ctl::LabelLastChgSOC, last, 10, 48, 100, 14, "Last Charge SOC"),
      place(Kind::Edit, ctl::EditLastChgSOC, last, 112, 44, 40, 20).locked(),
      place(Kind::Label, ctl::LabelLastChgSOCUnit, last, 156, 48, 12, 14, "%"),
      place(Kind::ProgressBar, ctl::ProgressBarLastChgDate, last, 176, 48, 160, 14),

      place(Kind::Image, ctl::ImageBatteryPack, ctl::TabSheetUR96, 590, 6, 118, 164)
          .image(":/mainwindow/battery-pack.png"),
      place(Kind::GroupBox, ctl::GroupBoxShippingModeUR, ctl::TabSheetUR96, 562, 4, 170, 52, "Shipping Mode")
          .hide()
          .disable(),
      place(Kind::CheckBox, ctl::CheckBoxShippingModeReadOnly, ctl::GroupBoxShippingModeUR, 10, 22, 140, 18,
            "Disabled"),
      place(Kind::GroupBox, ctl::GroupBoxBarcodeUR, ctl::TabSheetUR96, 562, 60, 170, 52, " Barcode ").hide(),
      place(Kind::Button, ctl::BitBtn1, ctl::GroupBoxBarcodeUR, 10, 20, 70, 24, "Read").disable(),
  };
}

}  // namespace qv::mainwindow
