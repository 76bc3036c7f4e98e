#pragma once
// The diagnosis report window: a one-page summary of a pack's history, printed as a whole.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormDiagnosisReport : public DeclaredForm {
 public:
  explicit TFormDiagnosisReport(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
