#pragma once
// The EEPROM window: the pack's EEPROM header, protection, LEAD and LAST records over UR2.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormEEPROM : public DeclaredForm {
 public:
  explicit TFormEEPROM(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
