#pragma once
// The last-charge search of the main window's UR page: the latest "Charge Stop" record of the pack's LEAD and
// LAST lists, shown in EditLastChgDate and EditLastChgSOC. The monitoring loops run it while CheckBoxLastChgDate
// is ticked; the READ button runs it on a worker of its own. The count readers of the two lists live here too.
//
// The result is kept in the report record (its last charge stamp, SOC and text). Each search starts from
// nothing, so a pack connected after another one shows its own last charge, not the later of the two.

#include "commands/UrCommand.h"
#include "eeprom/EepBlocks.h"
#include "eeprom/EepromRecords.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Services.h"

#include <atomic>
#include <cstdint>

namespace qv::eeprom {

class LastChargeSearch {
 public:
  LastChargeSearch(platform::Services& services, link::Link& link, mainwindow::MainState& state, EepromRecords& records,
                   commands::UrCommandRunner::StartWorker start = {});

  // These three run on the open adapter with the exchange lock held (the monitoring hooks, the worker).
  // Reads both counts afresh; ProgressBarEEPRead's maximum becomes their sum. True when the sum is above 0.
  bool ReadEventCounts();
  // ReadEventCount1 and ReadEventCount2: the list's count afresh, 0 when the pack does not answer.
  uint16_t ReadEventCount(EepList list);
  // Both counts, both lists, then the two boxes (unless stopped before the LAST list).
  void ReadLastChargeDate();

  // READ/STOP, on the GUI thread.
  void SpdBtnLastChgDateGetClick();
  // The button's worker: open, search, close, the controls back; at its end the button reads "READ" again.
  void LastChargeDateWorker();

  bool searching() const { return searching_.load(); }

 private:
  // Up to three tries of the list's count request while the run flag is set; the count zeroed first.
  uint32_t readCount(EepList list, bool stepProgress);
  void ScanEventList(EepList list);  // ScanEventList1 (LEAD), ScanEventList2 (LAST)
  void giveButtonBack();

  Controls& controls_;
  link::Link& link_;
  mainwindow::MainState& state_;
  EepromRecords& records_;
  commands::UrCommandRunner runner_;
  std::atomic<bool> searching_{false};
};

}  // namespace qv::eeprom
