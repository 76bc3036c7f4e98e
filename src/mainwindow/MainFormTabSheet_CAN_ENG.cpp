#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The CAN service controls.
std::vector<ControlDef> MainFormTabSheet_CAN_ENG() {
  constexpr Control p = ctl::TabSheet_CAN_ENG;
  constexpr Control info = ctl::GroupBoxCanPackInfo;
  constexpr Control rtc = ctl::GroupBoxRTCCalibration;
  constexpr Control erase = ctl::GroupBoxEEPEraseCAN;
  constexpr Control shipping = ctl::GroupBoxShippingModeQV;
  constexpr Control barcode = ctl::GroupBox34;
  return {
      page(p, "QV"),
      place(Kind::GroupBox, info, p, 6, 4, 300, 176, " Pack Information "),
      place(Kind::Label, ctl::LabelModelName, info, 10, 24, 90, 14, "Model Name"),
      place(Kind::Edit, ctl::Edit_ModelName, info, 100, 20, 190, 20).locked(),
      place(Kind::Label, ctl::LabelCanFWVer, info, 10, 48, 90, 14, "F/W Version"),
      place(Kind::Edit, ctl::Edit_FWVer, info, 100, 44, 80, 20).locked(),
      place(Kind::Label, ctl::LabelCanCellSeries, info, 10, 72, 90, 14, "Cells in Series"),
      place(Kind::Edit, ctl::Edit_CellSeries, info, 100, 68, 80, 20).locked(),
      place(Kind::Label, ctl::LabelCanCellParallel, info, 10, 96, 90, 14, "Cells Parallel"),
      place(Kind::Edit, ctl::Edit_CellParallel, info, 100, 92, 80, 20).locked(),
      place(Kind::Label, ctl::LabelCanCycleCount, info, 10, 120, 90, 14, "Cycle Count"),
      place(Kind::Edit, ctl::Edit_CycleCount, info, 100, 116, 80, 20).locked(),
      place(Kind::Label, ctl::LabelCanRTC, info, 10, 144, 90, 14, "RTC"),
      place(Kind::Edit, ctl::Edit_RTC, info, 100, 140, 190, 20).locked(),

      place(Kind::Button, ctl::SpdBtn_DEEP_SLEEP_SET, p, 6, 190, 100, 30, "Deep Sleep").disable(),
      place(Kind::Button, ctl::BitBtn_EEP_READ, p, 114, 190, 90, 30, "EEP Read").hide(),

      place(Kind::RadioGroup, ctl::RadioGroupBarcodeSelect, p, 314, 4, 200, 46, " Barcode Select ")
          .list("Barcode32\nBarcode16")
          .cols(2),
      place(Kind::GroupBox, barcode, p, 314, 54, 418, 74, "Barcode32").disable(),
      // The writers send 32 bytes at most.
      place(Kind::Edit, ctl::Edit_Barcode32_RW, barcode, 10, 20, 260, 20).atMost(32),
      place(Kind::Button, ctl::SpdBtn_Barcode32_R, barcode, 278, 18, 60, 24, "Read").disable(),
      place(Kind::Button, ctl::SpdBtn_Barcode32_W, barcode, 344, 18, 60, 24, "Write").hide().disable(),
      place(Kind::Label, ctl::Label_Barcode_R, barcode, 278, 48, 60, 14, "-     "),
      place(Kind::Label, ctl::Label_Barcode_W, barcode, 344, 48, 60, 14, "-     ").hide(),

      place(Kind::GroupBox, rtc, p, 314, 132, 418, 50, "").hide(),
      place(Kind::Label, ctl::LabelRTCCalibration, rtc, 10, 22, 100, 14, "RTC Calibration"),
      place(Kind::Edit, ctl::Edit_RTC_CAN_ENG, rtc, 110, 18, 160, 20).locked(),
      place(Kind::Button, ctl::SpdBtn_RTC_SET, rtc, 278, 16, 60, 24, "Write").hide().disable(),
      place(Kind::Button, ctl::SpeedButton_RTC_GET, rtc, 344, 16, 60, 24, "Read").hide().disable(),

      place(Kind::GroupBox, erase, p, 314, 186, 206, 70, "").hide(),
      place(Kind::CheckBox, ctl::CheckBox1, erase, 10, 18, 110, 18, "EEPROM Erase"),
      place(Kind::Button, ctl::SpdBtn_EEP_Erase_Set, erase, 130, 14, 64, 24, "Write").disable(),
      place(Kind::Label, ctl::LabelEPPEraseStatus, erase, 10, 46, 180, 14, "Erase Status"),

      place(Kind::GroupBox, shipping, p, 526, 186, 206, 70, "Shipping Mode").hide(),
      place(Kind::CheckBox, ctl::CheckBox_SippingMode, shipping, 10, 18, 80, 18, "Disabled"),
      place(Kind::Button, ctl::SpdBtn_ShippingModeSet, shipping, 94, 14, 50, 24, "Set").hide().disable(),
      place(Kind::Button, ctl::SpdBtn_ShippingModeGet, shipping, 148, 14, 50, 24, "Get").disable(),
      place(Kind::Label, ctl::Label_GET_SET_RXCMD, shipping, 10, 46, 90, 14, "CMD :"),
      place(Kind::Label, ctl::Label_GET_RXDAT, shipping, 104, 46, 90, 14, "DAT :").hide(),
  };
}

}  // namespace qv::mainwindow
