#pragma once
// The diagnosis report window: a one-page summary of a pack (its identity and ratings, the values read now, three
// fixture measurements, its event totals and the dates of its history), printed as a whole. It has no behaviour of
// its own: the report read (DiagnosisReport.h) fills its value labels.

#include "platform/Form.h"
#include "platform/Services.h"

#include <span>

namespace qv::eeprom {

// Every value label a report read may write, the hidden ones that nothing writes but the clearing included; the
// captions and the two hidden fixed labels are not among them.
std::span<const Control> ReportValueLabels();
// Empties every one of them.
void ClearReportLabels(Controls& controls);

class TFormDiagnosisReport : public DeclaredForm {
 public:
  // Made with the other windows at start-up, its labels emptied of their design-time samples (FormCreate).
  explicit TFormDiagnosisReport(platform::Services& services);
  // FormClose does nothing.
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
