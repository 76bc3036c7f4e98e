#pragma once
// The EEPROM window: the pack's EEPROM header, protection, LEAD and LAST records over UR2.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormEEPROM : public DeclaredForm {
 public:
  explicit TFormEEPROM(platform::Services& services);
  void onEvent(std::string_view control, UiEvent event) override;

  // The main window was given over to this window when it was shown; closing gives it back.
  void FormClose();

 private:
  Controls& controls_;
};

}  // namespace qv::eeprom
