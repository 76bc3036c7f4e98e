#pragma once
// The CAN EEPROM record window: the pack's last charge, last full charge and last under-voltage records, read
// over CAN with request 0x6502 and shown one block each on the "Basic" page.

#include "eeprom/CanRecordLines.h"
#include "link/Link.h"
#include "platform/Form.h"
#include "platform/Services.h"

#include <atomic>
#include <functional>

namespace qv::eeprom {

// What the read needs of the layers beside this one, filled by the composition: the main window's keep-alive
// switch and run flag, and the protection block buffer that the CAN decoders fill from the answers.
struct CanRecordHooks {
  std::function<void(bool on)> SwitchKeepAlive;  // Timer_300h_ON
  std::function<void()> RaiseRunFlag;            // RunFlag := 1
  std::function<void(int block)> ZeroRecordBuffer;
  std::function<CanRecordFields()> RecordBuffer;
};

class TFormEEP_Record : public DeclaredForm {
 public:
  TFormEEP_Record(platform::Services& services, link::Link& link);
  void onEvent(Control control, UiEvent event) override;

  CanRecordHooks hooks;
  // The main window, which the window gives back on closing when it was taken (disabled) as it was shown. It
  // lives in a layer above this one; the composition names it.
  void setMainWindow(Control window) { mainWindow_ = window; }

  // "Read": disables itself and starts ReadRecordsThread; a click while it is off starts nothing.
  void BitBtnEEPBlockChoiceReadClick();
  // The read of the three blocks, on a worker.
  void ReadRecordsThread();
  // The four parts of a block (1 to 3) requested; true when each came with an accepted answer.
  bool RequestRecordBlock(int block);
  void FormShow();
  void FormClose();

 private:
  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  Control mainWindow_;
  std::atomic<bool> mainTaken_{false};
};

}  // namespace qv::eeprom
