#pragma once
// The EEPROM window: the pack's EEPROM header, protection, LEAD and LAST records over UR2.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::eeprom {

class TFormEEPROM : public DeclaredForm {
 public:
  explicit TFormEEPROM(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;

  // The main window, which is given over to this window while it is shown. It lives in a layer above this one;
  // the composition names it.
  void setMainWindow(Control window) { mainWindow_ = window; }

  // The main window was given over to this window when it was shown; closing gives it back.
  void FormClose();

 private:
  Controls& controls_;
  Control mainWindow_;
};

}  // namespace qv::eeprom
