#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {
namespace {

struct FixtureRow {
  const char* label;
  const char* labelName;
  const char* button;
  const char* caption;
  const char* edit;  // empty: a switch, with nothing to show
};

constexpr FixtureRow kRows[] = {
    {"Charge Switch", "LabelChgSW", "SpdBtnChgSW", "ON", ""},
    {"Discharge Switch", "LabelDsgSW", "SpdBtnDsgSW", "ON", ""},
    {"Battery Volt", "LabelBtyVolt", "SpdBtnBtyVoltRead", "Read", "EditBtyVolt"},
    {"Discharge Volt", "LabelDsgVolt", "SpdBtnDsgVoltRead", "Read", "EditDsgVolt"},
    {"Charge Volt", "LabelChgVolt", "SpdBtnChgVoltRead", "Read", "EditChgVolt"},
    {"SOC Volt", "LabelSOCVolt", "SpdBtnSOCRead", "Read", "EditSOCVolt"},
};

}  // namespace

// The test fixture's switches and measurements, and the chart of the SOC-indicator samples.
std::vector<ControlDef> MainFormPageEng2() {
  constexpr const char* vesk = "GroupBoxVESK";
  std::vector<ControlDef> c = {
      page("TabSheetENG2", "ENG2"),
      place(Kind::GroupBox, vesk, "TabSheetENG2", 6, 4, 360, 200, "VESK Function"),
      place(Kind::Chart, "Chart1", "TabSheetENG2", 374, 4, 360, 272),
  };
  int y = 22;
  for (const FixtureRow& row : kRows) {
    c.push_back(place(Kind::Label, row.labelName, vesk, 10, y + 6, 110, 14, row.label));
    c.push_back(place(Kind::Button, row.button, vesk, 120, y, 70, 26, row.caption).disable());
    if (row.edit[0] != '\0') c.push_back(place(Kind::Edit, row.edit, vesk, 200, y + 3, 140, 20).locked());
    y += 29;
  }
  return c;
}

}  // namespace qv::mainwindow
