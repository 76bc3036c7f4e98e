#pragma once
// The password dialog that unlocks the engineering view.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::mainwindow {

class TFormPassWord : public DeclaredForm {
 public:
  explicit TFormPassWord(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
  void FormCreate();

 private:
  Controls& controls_;
};

}  // namespace qv::mainwindow
