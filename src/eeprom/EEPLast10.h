#pragma once
// The EEPROM last-ten window: the last ten records of the protection, LEAD and LAST blocks. Nothing opens it.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormEEPLast10 : public DeclaredForm {
 public:
  explicit TFormEEPLast10(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::eeprom
