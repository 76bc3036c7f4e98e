#pragma once
// The firmware window: choose an image, compare its digest, upgrade the pack.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::firmware {

class TFormFWUpgrade : public DeclaredForm {
 public:
  explicit TFormFWUpgrade(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;
};

}  // namespace qv::firmware
