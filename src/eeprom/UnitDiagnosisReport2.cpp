#include "eeprom/UnitDiagnosisReport2.h"

#include "eeprom/DiagnosisReportFormControls.h"

// The header picture is compiled into this library; a static library's resources are registered by hand.
static void registerReportPictures() { Q_INIT_RESOURCE(DiagnosisReportPictures); }

namespace qv::eeprom {
namespace {

FormDef DiagnosisReportFormDef() {
  FormDef form;
  form.name = diagnosisReportCtl::FormDiagnosisReport;
  form.caption = "Diagnosis Report";
  form.clientWidth = 837;
  form.clientHeight = 600;
  form.color = colour::White;
  form.controls = {
      place(Kind::Panel, diagnosisReportCtl::PanelReport, kFormItself, 12, 0, 790, 1008).paint(colour::White),
      place(Kind::Image, diagnosisReportCtl::ImageReportHeader, diagnosisReportCtl::PanelReport, 60, 8, 670, 66)
          .image(":/eeprom/report-header.jpg"),
  };
  return form;
}

}  // namespace

TFormDiagnosisReport::TFormDiagnosisReport(platform::Services& services)
    : DeclaredForm(services.controls, DiagnosisReportFormDef()) {
  registerReportPictures();
}

void TFormDiagnosisReport::onEvent(Control, UiEvent) {}

}  // namespace qv::eeprom
