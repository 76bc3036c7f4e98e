#include "eeprom/UnitDiagnosisReport2.h"

#include "eeprom/DiagnosisReportFormControls.h"

#include <algorithm>
#include <array>

// The header picture is compiled into this library; a static library's resources are registered by hand.
static void registerReportPictures() { Q_INIT_RESOURCE(DiagnosisReportPictures); }

namespace qv::eeprom {
namespace {

namespace r = diagnosisReportCtl;

// One row of a section: a static caption and the value label to its right.
struct Row {
  Control caption;
  const char* text;
  Control value;
  bool hidden = false;
  const char* fixedValue = nullptr;  // a static value label that nothing writes or clears
  bool wide = false;                 // its value reaches across the right column, which has no row beside it
};

struct Section {
  Control heading;
  const char* title;
  Control bar;  // none for the first section
  std::span<const Row> rows;
  int leftRows = 0;  // the shown rows in the left column; 0: the first half of them
};

// The captions are stored as the report has always printed them, misspellings included.
constexpr Row kProduct[] = {
    {r::CaptionDateNow, "Date  : ", r::Label_DateNow},
    {r::CaptionModelName, "Model name", r::Label_ModelName},
    {r::CaptionRptSN, "Series number", r::Label_RptSN, true},
    {r::CaptionCellType, "Cell type", r::Label_CellType},
    {r::CaptionCellCfg, "Cell configuration", r::Label_CellCfg},
    {r::CaptionMftDate, "Manufacturing date", r::Label_MftDate},
    {r::CaptionMFTName, "Manufacturer", r::Label_MFTName},
    {r::CaptionBarcode, "Barcode", r::Label_Barcode, false, nullptr, true},
    {r::CaptionExpDate, "Expiration date", r::Label_ExpDate},
    {r::CaptionDC, "Design capacity", r::Label_DC},
    {r::CaptionWarrantyCycle, "Warranty cycles", r::Label_WarrantyCycle},
    {r::CaptionMaxDsgCurrentA, "Maximal discharge current", r::Label_MaxDsgCurrentA},
    {r::CaptionMaxCghCurrent, "Maximal Charge Current", r::Label_MaxCghCurrent},
    {r::CaptionPulseDsgCurrentA, "Pulse Discharge Current", r::Label_PulseDsgCurrentA},
    {r::CaptionMaxChgVoltage, "Maximal Charge Voltage", r::Label_MaxChgVoltage},
    {r::CaptionPulseDsgDurationSec, "Pulse Discharge Duration", r::Label_PulseDsgDurationSec},
    {r::CaptionWarrantyCapmAh, "Warranty capacity", r::Label_WarrantyCapmAh, true},
};

constexpr Row kCondition[] = {
    {r::CaptionReadOutDate, "Read out date", r::Label_ReadOutDate},
    {r::CaptionReadOutTime, "Read out time", r::Label_ReadOutTime},
    {r::CaptionLastChgDate, "Last charge date", r::Label_LastChgDate},
    {r::CaptionLastChgSOC, "Last charge SOC", r::Label_LastChgSOC},
    {r::CaptionCycleCnt, "Cycle count", r::Label_CycleCnt},
    {r::CaptionFCC, "Full charge capacity", r::Label_FCC},
    {r::CaptionPSOC, "State of charge", r::Label_PSOC},
    {r::CaptionPackVoltage, "Battery voltage", r::Label_PackVoltage},
    {r::CaptionMaxCellVolt, "Maximal cell voltage", r::Label_MaxCellVolt},
    {r::CaptionMinCellVolt, "Minimal cell voltage", r::Label_MinCellVolt},
    {r::CaptionChgDsgCurrentmA, "Charge/Discharge current", r::Label_ChgDsgCurrentmA},
    {r::CaptionT1, "Battery temperatute", r::Label_T1},
    {r::CaptionProtectFlag, "Protocoltion Flag", r::Label_ProtectFlag},
    {r::CaptionCellImbalance, "Cell Imbalance", r::Label_CellImbalance},
};

constexpr Row kTests[] = {
    {r::CaptionTestChgVolt, "Charge voltage", r::LabelTestChgVolt},
    {r::CaptionTestChgCurrent, "Charge current", r::LabelTestChgCurrent},
    {r::CaptionTestResultChgCurrent, "Pass/NG", r::LabelTestResultChgCurrent, true},
    {r::CaptionTestDsgVolt, "Load voltage", r::LabelTestDsgVolt},
    {r::CaptionTestResultDsgVolt, "Pass/NG", r::LabelTestResultDsgVolt},
    {r::CaptionTestDsgCurrent, "Load current test", r::LabelTestDsgCurrent},
    {r::CaptionTestSOCVolt, "SOC voltage output", r::LabelTestSOCVolt},
    {r::CaptionTestResultSOCVolt, "Pass/NG", r::LabelTestResultSOCVolt, true},
};

constexpr Row kSummary[] = {
    {r::CaptionTotalChgEvtCnt, "Total charge events", r::Label_TotalChgEvtCnt},
    {r::CaptionReportTotalCC, "Total charge capacity", r::Label_ReportTotalCC},
    {r::CaptionTotalDsgEvtCnt, "Total discharge events", r::Label_TotalDsgEvtCnt},
    {r::CaptionTotalDsgCapacity, "Total discharge capacity", r::LabelTotalDsgCapacity, true, ""},
    {r::CaptionFstFullChgDate, "First full charge date(>80%)", r::Label_FstFullChgDate},
    {r::CaptionFstDsgDepletionDate, "First time depletion(<1%) date", r::Label_FstDsgDepletionDate},
    {r::CaptionLastFullChgDate, "Last charge date(>80%)", r::Label_LastFullChgDate},
    {r::CaptionLastDsgDepletionDate, "Last time depletion(<1%) date", r::Label_LastDsgDepletionDate},
    {r::CaptionMaxDurationLowSOC0Hours, "Maximal duration @low SOC", r::Label_MaxDurationLowSOC0Hours},
    {r::CaptionMaxChgLowSOCsinceDate, "Maximal low SOC since", r::Label_MaxChgLowSOCsinceDate},
    {r::CaptionSOC0ChgCap, "Charge/Discharge current", r::Label_SOC0ChgCap},
    {r::CaptionExtDsgRecAtDate, "Extracted from discharge record at", r::Label_ExtDsgRecAtDate},
};

constexpr Row kConclusion[] = {
    {r::CaptionTotalWarrantyCnt, "Warranty is", r::Label_TotalWarrantyCnt},
    {r::CaptionBatteryCondition, "Battery condition is", r::LabelBatteryCondition, true, "Qualified"},
};

constexpr Section kSections[] = {
    // The pack's identity on the left, its ratings on the right.
    {r::LabelHeadProduct, "Product Information", Control{}, kProduct, 10},
    {r::LabelHeadCondition, "Battery condition read out", r::BarCondition, kCondition},
    {r::LabelHeadTests, "Battery function tests", r::BarTests, kTests},
    {r::LabelHeadSummary, "Summary of Key Charge / Discharge Actions", r::BarSummary, kSummary},
    {r::LabelHeadConclusion, "Conclusion of Diagnosis report", r::BarConclusion, kConclusion},
};

constexpr size_t valueLabelCount() {
  size_t n = 0;
  for (const Section& s : kSections)
    for (const Row& row : s.rows) n += row.fixedValue == nullptr ? 1 : 0;
  return n;
}

constexpr auto kValueLabels = [] {
  std::array<Control, valueLabelCount()> labels{};
  size_t i = 0;
  for (const Section& s : kSections)
    for (const Row& row : s.rows)
      if (row.fixedValue == nullptr) labels[i++] = row.value;
  return labels;
}();

// Each section: its heading, then its shown rows in two columns; a hidden row takes no place. The left column has
// the longer values (the barcode), the right one the longer captions.
constexpr int kRowHeight = 21;
constexpr int kFontPixels = 11;
struct Column {
  int left, captionWidth, valueWidth;
};
constexpr Column kColumns[] = {{22, 185, 212}, {424, 214, 142}};
constexpr int kWideValueWidth = 760 - 22 - 185;

FormDef DiagnosisReportFormDef() {
  FormDef form;
  form.name = r::FormDiagnosisReport;
  form.caption = "Diagnosis Report";
  form.clientWidth = 837;
  form.clientHeight = 600;
  form.color = colour::White;
  form.controls = {
      place(Kind::Panel, r::PanelReport, kFormItself, 12, 0, 790, 1008).paint(colour::White),
      place(Kind::Image, r::ImageReportHeader, r::PanelReport, 60, 8, 670, 66).image(":/eeprom/report-header.jpg"),
  };
  int top = 90;
  for (const Section& s : kSections) {
    if (!s.bar.none()) {
      form.controls.push_back(place(Kind::Panel, s.bar, r::PanelReport, 20, top, 750, 2).paint(colour::Grey));
      top += 12;
    }
    form.controls.push_back(place(Kind::Label, s.heading, r::PanelReport, 20, top, 600, 22, s.title).font(16, true));
    top += 30;
    const int shown =
        static_cast<int>(std::count_if(s.rows.begin(), s.rows.end(), [](const Row& x) { return !x.hidden; }));
    const int leftRows = s.leftRows != 0 ? s.leftRows : (shown + 1) / 2;
    int slot = 0;
    for (const Row& row : s.rows) {
      const Column& column = kColumns[slot < leftRows ? 0 : 1];
      const int y = top + (slot < leftRows ? slot : slot - leftRows) * kRowHeight;
      ControlDef caption =
          place(Kind::Label, row.caption, r::PanelReport, column.left, y, column.captionWidth, kRowHeight - 3, row.text)
              .font(kFontPixels);
      ControlDef value = place(Kind::Label, row.value, r::PanelReport, column.left + column.captionWidth, y,
                               row.wide ? kWideValueWidth : column.valueWidth, kRowHeight - 3,
                               row.fixedValue == nullptr ? "" : row.fixedValue)
                             .font(kFontPixels, true);
      if (row.hidden) {
        caption.hide();
        value.hide();
      } else {
        ++slot;
      }
      form.controls.push_back(caption);
      form.controls.push_back(value);
    }
    top += std::max(leftRows, shown - leftRows) * kRowHeight + 14;
  }
  return form;
}

}  // namespace

std::span<const Control> ReportValueLabels() { return kValueLabels; }

void ClearReportLabels(Controls& controls) {
  for (Control label : kValueLabels) controls.setText(label, QString());
}

TFormDiagnosisReport::TFormDiagnosisReport(platform::Services& services)
    : DeclaredForm(services.controls, DiagnosisReportFormDef()) {
  registerReportPictures();
  ClearReportLabels(services.controls);
}

void TFormDiagnosisReport::onEvent(Control, UiEvent) {}

}  // namespace qv::eeprom
