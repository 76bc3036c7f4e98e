#pragma once
// The EEPROM parameter window: the pack's configuration parameters over CAN. Nothing shows it.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TForm_EEP_PARA : public DeclaredForm {
 public:
  explicit TForm_EEP_PARA(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
