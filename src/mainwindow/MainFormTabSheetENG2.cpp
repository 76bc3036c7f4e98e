#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {
namespace {

struct FixtureRow {
  const char* label;
  Control labelName;
  Control button;
  const char* caption;
  Control edit;  // none: a switch, with nothing to show
};

constexpr FixtureRow kRows[] = {
    {"Charge Switch", ctl::LabelChgSW, ctl::SpdBtnChgSW, "ON", kFormItself},
    {"Discharge Switch", ctl::LabelDsgSW, ctl::SpdBtnDsgSW, "ON", kFormItself},
    {"Battery Volt", ctl::LabelBtyVolt, ctl::SpdBtnBtyVoltRead, "Read", ctl::EditBtyVolt},
    {"Discharge Volt", ctl::LabelDsgVolt, ctl::SpdBtnDsgVoltRead, "Read", ctl::EditDsgVolt},
    {"Charge Volt", ctl::LabelChgVolt, ctl::SpdBtnChgVoltRead, "Read", ctl::EditChgVolt},
    {"SOC Volt", ctl::LabelSOCVolt, ctl::SpdBtnSOCRead, "Read", ctl::EditSOCVolt},
};

}  // namespace

// The test fixture's switches and measurements, and the chart of the SOC-indicator samples.
std::vector<ControlDef> MainFormTabSheetENG2() {
  constexpr Control vesk = ctl::GroupBoxVESK;
  std::vector<ControlDef> c = {
      page(ctl::TabSheetENG2, "ENG2"),
      place(Kind::GroupBox, vesk, ctl::TabSheetENG2, 6, 4, 360, 200, "VESK Function"),
      place(Kind::Chart, ctl::Chart1, ctl::TabSheetENG2, 374, 4, 360, 272),
  };
  int y = 22;
  for (const FixtureRow& row : kRows) {
    c.push_back(place(Kind::Label, row.labelName, vesk, 10, y + 6, 110, 14, row.label));
    c.push_back(place(Kind::Button, row.button, vesk, 120, y, 70, 26, row.caption).disable());
    if (!row.edit.none()) c.push_back(place(Kind::Edit, row.edit, vesk, 200, y + 3, 140, 20).locked());
    y += 29;
  }
  return c;
}

}  // namespace qv::mainwindow
