#pragma once
// The CAN EEPROM record window: the pack's last charge, last full charge and last under-voltage records.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormEEP_Record : public DeclaredForm {
 public:
  explicit TFormEEP_Record(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
