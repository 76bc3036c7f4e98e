#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {
namespace {

constexpr const char* kCells = "GroupBoxVCellList";
constexpr const char* kCellNumbers[13] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"};
constexpr const char* kFlagCaptions[6] = {"OV", "UV", "OC", "SC", "OT", "UT"};

}  // namespace

std::vector<ControlDef> MainFormFrame() {
  std::vector<ControlDef> c = {
      place(Kind::Image, "ImageLogo", "", 8, 4, 200, 48).image(":/mainwindow/quvexa-logo.png"),
      place(Kind::Label, "LabelPRINTDate", "", 222, 36, 90, 14).ink(colour::Navy),
      place(Kind::Button, "SpdBtnRUN", "", 322, 8, 76, 40, "RUN").ink(colour::Blue).font(15, true),
      place(Kind::Button, "SpdBtnConfigure", "", 404, 8, 90, 40, " Configure ").ink(colour::Grey).font(13, true),
      place(Kind::Button, "SpdBtnPRINT", "", 500, 8, 58, 40, "PDF").font(13, true),
      place(Kind::Button, "SpdBtnExit", "", 564, 8, 70, 40, "EXIT").font(13, true),
      place(Kind::Button, "SpdBtnBusHunt", "", 404, 8, 90, 40, " Bus Hunt ").ink(colour::Grey).hide(),
      place(Kind::Button, "SpdBtnUpgrade", "", 500, 8, 90, 40, " Upgrade ").ink(colour::Grey).hide(),
      place(Kind::Shape, "Shape_TX", "", 654, 12, 22, 22).paint(colour::Red).tip(" TX "),
      place(Kind::Label, "Label_TX", "", 656, 36, 22, 14, "TX"),
      place(Kind::Shape, "Shape_RX", "", 694, 12, 22, 22).paint(colour::Lime).tip(" RX"),
      place(Kind::Label, "Label_RX", "", 696, 36, 22, 14, "RX"),

      place(Kind::GroupBox, kCells, "", 8, 56, 568, 204, " Cell Voltage ( mV ) "),
  };
  for (int i = 0; i < 13; ++i) {
    const int x = 10 + i * 42;
    c.push_back(place(Kind::Label, kCellLabels[i], kCells, x + 14, 18, 24, 14, kCellNumbers[i]).ink(colour::Navy));
    c.push_back(place(Kind::Gauge, kCellGauges[i], kCells, x + 6, 34, 28, 112).span(0, 5000).paint(colour::Lime));
    c.push_back(place(Kind::Edit, kCellEdits[i], kCells, x, 152, 40, 20, "0").locked());
  }
  const std::vector<ControlDef> rest = {
      place(Kind::Edit, "EditVCell14", kCells, 10, 152, 40, 20, "0").locked().hide(),
      place(Kind::Label, "LabelHVolt", kCells, 12, 181, 60, 14, "Max Cell"),
      place(Kind::Edit, "Edit_HVlot", kCells, 72, 178, 56, 20, "0").locked(),
      place(Kind::Label, "LabelLVolt", kCells, 150, 181, 60, 14, "Min Cell"),
      place(Kind::Edit, "Edit_LVolt", kCells, 208, 178, 56, 20, "0").locked(),
      place(Kind::Label, "LabelVoltDiff", kCells, 286, 181, 70, 14, "Difference"),
      place(Kind::Edit, "Edit_VoltDiff", kCells, 356, 178, 56, 20, "0").locked(),

      place(Kind::GroupBox, "GroupBoxSOC", "", 584, 56, 168, 204, " SOH / SOC ( % ) "),
      place(Kind::Label, "LabelASOC", "GroupBoxSOC", 28, 18, 40, 14, "SOH"),
      place(Kind::ProgressBar, "ProgressBarSOH", "GroupBoxSOC", 22, 34, 36, 112).paint(colour::Lime),
      place(Kind::Edit, "EditASOC", "GroupBoxSOC", 14, 152, 52, 20, "0").locked(),
      place(Kind::Label, "LabelRSOC", "GroupBoxSOC", 110, 18, 40, 14, "SOC"),
      place(Kind::ProgressBar, "ProgressBarSOC", "GroupBoxSOC", 104, 34, 36, 112).paint(colour::Blue),
      place(Kind::Edit, "EditRSOC", "GroupBoxSOC", 96, 152, 52, 20, "0").locked(),

      place(Kind::GroupBox, "GroupBoxBatteryStatus", "", 8, 264, 336, 54, " Battery status "),
      place(Kind::GroupBox, "GroupBoxTemperature", "", 352, 264, 224, 54, " T \xC2\xB0" "C "),
      place(Kind::Label, "LabelT1", "GroupBoxTemperature", 10, 26, 18, 14, "T1"),
      place(Kind::Edit, "EditT1", "GroupBoxTemperature", 28, 22, 44, 22).locked(),
      place(Kind::Label, "LabelT2", "GroupBoxTemperature", 82, 26, 18, 14, "T2"),
      place(Kind::Edit, "EditT2", "GroupBoxTemperature", 100, 22, 44, 22).locked(),
      place(Kind::Label, "LabelT3", "GroupBoxTemperature", 154, 26, 18, 14, "T3").hide(),
      place(Kind::Edit, "EditT3", "GroupBoxTemperature", 172, 22, 44, 22).locked().hide(),
      place(Kind::GroupBox, "GroupBoxCurrentSign", "", 584, 264, 168, 54, " Current "),
      place(Kind::Edit, "EditCurrentSign", "GroupBoxCurrentSign", 10, 22, 110, 22, " - None - ")
          .paint(colour::ButtonFace).locked(),
      place(Kind::Shape, "ShapeKeyPress", "GroupBoxCurrentSign", 132, 22, 22, 22).paint(colour::Lime).tip(" Key "),

      place(Kind::PageControl, "PageControl2", "", 8, 324, 744, 306),
      place(Kind::StatusBar, "StatusBarView", "", 0, 635, 760, 19).panels("120,160,220,250"),
      place(Kind::Timer, "Timer_300h_ON", "", 0, 0, 0, 0).every(100).disable(),
  };
  c.insert(c.end(), rest.begin(), rest.end());
  for (int i = 0; i < 6; ++i) {
    c.push_back(place(Kind::Edit, kFlagEdits[i], "GroupBoxBatteryStatus", 10 + i * 54, 22, 48, 22, kFlagCaptions[i])
                    .paint(colour::Parent).ink(colour::Navy).locked());
  }
  return c;
}

}  // namespace qv::mainwindow
