#include "mainwindow/MainFormPages.h"

#include "mainwindow/MainFormControls.h"

namespace qv::mainwindow {

// The diagnosis report: read the pack's history, then print the report.
std::vector<ControlDef> MainFormTabSheetVM() {
  constexpr Control report = ctl::GroupBoxDiagnosisReport;
  return {
      page(ctl::TabSheetVM, "DIA"),
      place(Kind::GroupBox, report, ctl::TabSheetVM, 6, 4, 360, 92, " Diagnosis Report "),
      place(Kind::Button, ctl::BitBtnPrintReportRead, report, 10, 20, 90, 30, "READ"),
      place(Kind::Button, ctl::BitBtnPrint, report, 110, 20, 90, 30, "PDF"),
      place(Kind::ProgressBar, ctl::ProgressBarEEPRead, report, 10, 62, 340, 16),
  };
}

}  // namespace qv::mainwindow
