#pragma once
// The password dialog that unlocks the engineering view: the diagnosis page's tab and the cell-voltage group.
// The right password leaves a marker in SafeInfo.ini in the current folder; nothing reads it back, and nothing
// of the unlock outlives the run.

#include "platform/Form.h"
#include "platform/Services.h"

namespace qv::mainwindow {

// What unlocks, compared whole and case-sensitive, with no trimming.
inline constexpr char kAccessPassword[] = "pwk418205763";
// The marker's file in the current folder, its section, key and value.
inline constexpr char kSafeInfoFile[] = "SafeInfo.ini";
inline constexpr char kSafeInfoSection[] = "SafeInfo";
inline constexpr char kSafeInfoKey[] = "Key";
inline constexpr char kSafeInfoMarker[] = "T3e!k9W#pL2@vR7$mZ5%qB8^xN1&cF4*hJ6(sD0)gY-yU+aK=oH[iM]uP;wG:bV,";

// Writes the marker and, when it was written, shows the engineering view. False, with nothing changed, when
// the file cannot be written.
bool UnlockEngineeringMode(Controls& controls);

class TFormPassWord : public DeclaredForm {
 public:
  explicit TFormPassWord(platform::Services& services);
  void onEvent(Control control, UiEvent event) override;

  void FormCreate();
  // Every way the dialog closes ends here: the dialog hidden, the main window shown.
  void FormClose();
  // Unlocks on the access password; closes the dialog whatever was typed, with no message and no limit on
  // the tries.
  void SpdBtnPasswordYesClick();
  void SpdBtnPasswordNoClick();

 private:
  Controls& controls_;
};

}  // namespace qv::mainwindow
