#include "mainwindow/MainFormPages.h"

namespace qv::mainwindow {

// The diagnosis report: read the pack's history, then print the report.
std::vector<ControlDef> MainFormPageDia() {
  constexpr const char* report = "GroupBoxDiagnosisReport";
  return {
      page("TabSheetVM", "DIA"),
      place(Kind::GroupBox, report, "TabSheetVM", 6, 4, 360, 92, " Diagnosis Report "),
      place(Kind::Button, "BitBtnPrintReportRead", report, 10, 20, 90, 30, "READ"),
      place(Kind::Button, "BitBtnPrint", report, 110, 20, 90, 30, "PDF"),
      place(Kind::ProgressBar, "ProgressBarEEPRead", report, 10, 62, 340, 16),
  };
}

}  // namespace qv::mainwindow
