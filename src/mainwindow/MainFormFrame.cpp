#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {
namespace {

constexpr Control kCells = ctl::GroupBoxVCellList;
constexpr const char* kCellNumbers[13] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"};
constexpr const char* kFlagCaptions[6] = {"OV", "UV", "OC", "SC", "OT", "UT"};

}  // namespace

std::vector<ControlDef> MainFormFrame() {
  std::vector<ControlDef> c = {
      place(Kind::Image, ctl::ImageLogo, kFormItself, 8, 4, 200, 48).image(":/mainwindow/quvexa-logo.png"),
      place(Kind::Label, ctl::LabelPRINTDate, kFormItself, 222, 36, 90, 14).ink(colour::Navy),
      place(Kind::Button, ctl::SpdBtnRUN, kFormItself, 322, 8, 76, 40, "RUN").ink(colour::Blue).font(15, true),
      place(Kind::Button, ctl::SpdBtnConfigure, kFormItself, 404, 8, 90, 40, " Configure ")
          .ink(colour::Grey)
          .font(13, true),
      place(Kind::Button, ctl::SpdBtnPRINT, kFormItself, 500, 8, 58, 40, "PDF").font(13, true),
      place(Kind::Button, ctl::SpdBtnExit, kFormItself, 564, 8, 70, 40, "EXIT").font(13, true),
      place(Kind::Button, ctl::SpdBtnBusHunt, kFormItself, 404, 8, 90, 40, " Bus Hunt ").ink(colour::Grey).hide(),
      place(Kind::Button, ctl::SpdBtnUpgrade, kFormItself, 500, 8, 90, 40, " Upgrade ").ink(colour::Grey).hide(),
      place(Kind::Shape, ctl::Shape_TX, kFormItself, 654, 12, 22, 22).paint(colour::Red).tip(" TX "),
      place(Kind::Label, ctl::Label_TX, kFormItself, 656, 36, 22, 14, "TX"),
      place(Kind::Shape, ctl::Shape_RX, kFormItself, 694, 12, 22, 22).paint(colour::Lime).tip(" RX"),
      place(Kind::Label, ctl::Label_RX, kFormItself, 696, 36, 22, 14, "RX"),

      place(Kind::GroupBox, kCells, kFormItself, 8, 56, 568, 204, " Cell Voltage ( mV ) "),
  };
  for (int i = 0; i < 13; ++i) {
    const int x = 10 + i * 42;
    c.push_back(place(Kind::Label, ctl::kCellLabels[i], kCells, x + 14, 18, 24, 14, kCellNumbers[i]).ink(colour::Navy));
    c.push_back(place(Kind::Gauge, ctl::kCellGauges[i], kCells, x + 6, 34, 28, 112).span(0, 5000).paint(colour::Lime));
    c.push_back(place(Kind::Edit, ctl::kCellEdits[i], kCells, x, 152, 40, 20, "0").locked());
  }
  const std::vector<ControlDef> rest = {
      place(Kind::Edit, ctl::EditVCell14, kCells, 10, 152, 40, 20, "0").locked().hide(),
      place(Kind::Label, ctl::LabelHVolt, kCells, 12, 181, 60, 14, "Max Cell"),
      place(Kind::Edit, ctl::Edit_HVlot, kCells, 72, 178, 56, 20, "0").locked(),
      place(Kind::Label, ctl::LabelLVolt, kCells, 150, 181, 60, 14, "Min Cell"),
      place(Kind::Edit, ctl::Edit_LVolt, kCells, 208, 178, 56, 20, "0").locked(),
      place(Kind::Label, ctl::LabelVoltDiff, kCells, 286, 181, 70, 14, "Difference"),
      place(Kind::Edit, ctl::Edit_VoltDiff, kCells, 356, 178, 56, 20, "0").locked(),

      place(Kind::GroupBox, ctl::GroupBoxSOC, kFormItself, 584, 56, 168, 204, " SOH / SOC ( % ) "),
      place(Kind::Label, ctl::LabelASOC, ctl::GroupBoxSOC, 28, 18, 40, 14, "SOH"),
      place(Kind::ProgressBar, ctl::ProgressBarSOH, ctl::GroupBoxSOC, 22, 34, 36, 112).paint(colour::Lime),
      place(Kind::Edit, ctl::EditASOC, ctl::GroupBoxSOC, 14, 152, 52, 20, "0").locked(),
      place(Kind::Label, ctl::LabelRSOC, ctl::GroupBoxSOC, 110, 18, 40, 14, "SOC"),
      place(Kind::ProgressBar, ctl::ProgressBarSOC, ctl::GroupBoxSOC, 104, 34, 36, 112).paint(colour::Blue),
      place(Kind::Edit, ctl::EditRSOC, ctl::GroupBoxSOC, 96, 152, 52, 20, "0").locked(),

      place(Kind::GroupBox, ctl::GroupBoxBatteryStatus, kFormItself, 8, 264, 336, 54, " Battery status "),
      place(Kind::GroupBox, ctl::GroupBoxTemperature, kFormItself, 352, 264, 224, 54,
            " T \xC2\xB0"
            "C "),
      place(Kind::Label, ctl::LabelT1, ctl::GroupBoxTemperature, 10, 26, 18, 14, "T1"),
      place(Kind::Edit, ctl::EditT1, ctl::GroupBoxTemperature, 28, 22, 44, 22).locked(),
      place(Kind::Label, ctl::LabelT2, ctl::GroupBoxTemperature, 82, 26, 18, 14, "T2"),
      place(Kind::Edit, ctl::EditT2, ctl::GroupBoxTemperature, 100, 22, 44, 22).locked(),
      place(Kind::Label, ctl::LabelT3, ctl::GroupBoxTemperature, 154, 26, 18, 14, "T3").hide(),
      place(Kind::Edit, ctl::EditT3, ctl::GroupBoxTemperature, 172, 22, 44, 22).locked().hide(),
      place(Kind::GroupBox, ctl::GroupBoxCurrentSign, kFormItself, 584, 264, 168, 54, " Current "),
      place(Kind::Edit, ctl::EditCurrentSign, ctl::GroupBoxCurrentSign, 10, 22, 110, 22, " - None - ")
          .paint(colour::ButtonFace)
          .locked(),
      place(Kind::Shape, ctl::ShapeKeyPress, ctl::GroupBoxCurrentSign, 132, 22, 22, 22)
          .paint(colour::Lime)
          .tip(" Key "),

      place(Kind::PageControl, ctl::PageControl2, kFormItself, 8, 324, 744, 306),
      place(Kind::StatusBar, ctl::StatusBarView, kFormItself, 0, 635, 760, 19).panels("120,160,220,250"),
      place(Kind::Timer, ctl::Timer_300h_ON, kFormItself, 0, 0, 0, 0).every(100).disable(),
      place(Kind::Timer, ctl::printPauseTimer, kFormItself, 0, 0, 0, 0).every(1000).disable(),
  };
  c.insert(c.end(), rest.begin(), rest.end());
  for (int i = 0; i < 6; ++i) {
    c.push_back(
        place(Kind::Edit, ctl::kFlagEdits[i], ctl::GroupBoxBatteryStatus, 10 + i * 54, 22, 48, 22, kFlagCaptions[i])
            .paint(colour::Parent)
            .ink(colour::Navy)
            .locked());
  }
  return c;
}

}  // namespace qv::mainwindow
