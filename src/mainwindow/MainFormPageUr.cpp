#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The UR live view.
std::vector<ControlDef> MainFormPageUr() {
  constexpr const char* info = "GroupBoxBatteryInfo1";
  constexpr const char* fw = "GroupBoxFWProduction";
  constexpr const char* last = "GroupBoxLastChgDate";
  return {
      page("TabSheetUR96", "UR"),

      place(Kind::GroupBox, info, "TabSheetUR96", 6, 4, 372, 136, " Battery Informatiom  1 "),
      place(Kind::Label, "LabelCycleCnt", info, 10, 24, 90, 14, "Cycle Count"),
      place(Kind::Edit, "EditCycleCnt", info, 102, 20, 72, 20, "0").locked(),
      place(Kind::Label, "LabelPackVolt", info, 10, 46, 90, 14, "Pack Volt (mV)"),
      place(Kind::Edit, "EditPackVolt", info, 102, 42, 72, 20, "0").locked(),
      place(Kind::Label, "LabelPackCurrent", info, 10, 68, 90, 14, "Current (mA)"),
      place(Kind::Edit, "EditPackCurrent", info, 102, 64, 72, 20, "0").locked(),
      place(Kind::Label, "LabelCellSeries", info, 10, 90, 90, 14, "Cells in Series"),
      place(Kind::Edit, "EditCellSeries", info, 102, 86, 72, 20, "0").locked(),
      place(Kind::Label, "LabelCellParallel", info, 10, 112, 90, 14, "Cells Parallel"),
      place(Kind::Edit, "EditCellParallel", info, 102, 108, 72, 20, "0").locked(),
      place(Kind::Label, "LabelDC", info, 186, 24, 104, 14, "Design Cap (mAh)"),
      place(Kind::Edit, "EditDC", info, 292, 20, 72, 20, "0").locked(),
      place(Kind::Label, "LabelRC", info, 186, 46, 104, 14, "Remain Cap (mAh)"),
      place(Kind::Edit, "EditRC", info, 292, 42, 72, 20, "0").locked(),
      place(Kind::Label, "LabelTCC", info, 186, 68, 104, 14, "Total Chg (mAh)"),
      place(Kind::Edit, "EditTCC", info, 292, 64, 72, 20, "0").locked(),
      place(Kind::Label, "LabelFCC", info, 186, 90, 104, 14, "Full Chg (mAh)").hide(),
      place(Kind::Edit, "EditFCC", info, 292, 86, 72, 20, "0").locked().hide(),

      place(Kind::GroupBox, fw, "TabSheetUR96", 6, 144, 372, 52, " F/W Production"),
      place(Kind::Label, "LabelFWVer", fw, 10, 26, 44, 14, "Version"),
      place(Kind::Edit, "EditFWVer", fw, 56, 22, 70, 20).locked(),
      place(Kind::Label, "LabelFWID", fw, 140, 26, 20, 14, "ID"),
      place(Kind::Edit, "EditFWID", fw, 162, 22, 202, 20).locked(),

      place(Kind::GroupBox, "GroupBoxRTC", "TabSheetUR96", 6, 200, 372, 50, " RTC "),
      place(Kind::Edit, "EditRTC", "GroupBoxRTC", 10, 20, 200, 20).locked(),

      place(Kind::GroupBox, "GroupBoxSOHWh", "TabSheetUR96", 386, 4, 170, 52, " SOH "),
      place(Kind::Edit, "Edit_UR96_SOH_Wh", "GroupBoxSOHWh", 10, 22, 100, 20).locked(),
      place(Kind::Label, "LabelSOHWh", "GroupBoxSOHWh", 116, 26, 30, 14, "Wh"),
      place(Kind::GroupBox, "GroupBoxSOCWh", "TabSheetUR96", 386, 60, 170, 52, " SOC "),
      place(Kind::Edit, "Edit_UR96_SOC_Wh", "GroupBoxSOCWh", 10, 22, 100, 20).locked(),
      place(Kind::Label, "LabelSOCWh", "GroupBoxSOCWh", 116, 26, 30, 14, "Wh"),
      place(Kind::GroupBox, "GroupBoxBatteryWh", "TabSheetUR96", 386, 116, 170, 52, " Battery Capacity"),
      place(Kind::Edit, "Edit_UR96_Battery_Wh", "GroupBoxBatteryWh", 10, 22, 100, 20).locked(),
      place(Kind::Label, "LabelBatteryWh", "GroupBoxBatteryWh", 116, 26, 30, 14, "Wh"),

      place(Kind::GroupBox, last, "TabSheetUR96", 386, 172, 346, 76, "Last Charge Date").hide(),
      place(Kind::CheckBox, "CheckBoxLastChgDate", last, 10, 20, 120, 18, "Last Charge Date"),
      place(Kind::Edit, "EditLastChgDate", last, 134, 18, 130, 20).locked(),
      place(Kind::Button, "SpdBtnLastChgDateGet", last, 270, 16, 66, 24, "READ").hide(),
      place(Kind::Label, "LabelLastChgSOC", last, 10, 48, 100, 14, "Last Charge SOC"),
      place(Kind::Edit, "EditLastChgSOC", last, 112, 44, 40, 20).locked(),
      place(Kind::Label, "LabelLastChgSOCUnit", last, 156, 48, 12, 14, "%"),
      place(Kind::ProgressBar, "ProgressBarLastChgDate", last, 176, 48, 160, 14),

      place(Kind::Image, "ImageBatteryPack", "TabSheetUR96", 590, 6, 118, 164).image(":/mainwindow/battery-pack.png"),
      place(Kind::GroupBox, "GroupBoxShippingModeUR", "TabSheetUR96", 562, 4, 170, 52, "Shipping Mode").hide().disable(),
      place(Kind::CheckBox, "CheckBoxShippingModeReadOnly", "GroupBoxShippingModeUR", 10, 22, 140, 18, "Disabled"),
      place(Kind::GroupBox, "GroupBoxBarcodeUR", "TabSheetUR96", 562, 60, 170, 52, " Barcode ").hide(),
      place(Kind::Button, "BitBtn1", "GroupBoxBarcodeUR", 10, 20, 70, 24, "Read").disable(),
  };
}

}  // namespace qv::mainwindow
