#pragma once
// The EEPROM window: the pack's EEPROM header, protection, LEAD and LAST records over UR2.
//
// Every read has the UR command shape (commands/UrCommand.h): its button's handler, on the GUI thread, zeroes
// the records and starts a worker; the worker opens the adapter, exchanges under the exchange lock, closes it
// and gives the buttons back, then sets Save and the range button by what the pages now hold. The preview,
// which waits for the pack, runs on a worker too. While a read runs the window stays open: closing it then
// asks a record read to stop after the record it is reading, and what was read stays on the page.

#include "commands/UrCommand.h"
#include "eeprom/EepBlocks.h"
#include "eeprom/EepromRecords.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Form.h"
#include "platform/Services.h"

#include <atomic>
#include <cstdint>
#include <memory>

class QFile;

namespace qv::eeprom {

class TFormEEPROM : public DeclaredForm {
 public:
  // start: how the workers are started (services.workers unless a test gives another).
  TFormEEPROM(platform::Services& services, link::Link& link, mainwindow::MainState& state,
              commands::UrCommandRunner::StartWorker start = {});
  ~TFormEEPROM() override;
  void onEvent(Control control, UiEvent event) override;

  // The main window, which is given over to this window while it is shown. It lives in a layer above this one;
  // the composition names it.
  void setMainWindow(Control window) { mainWindow_ = window; }

  // What the UR2 dispatcher fills; the composition adds it to the dispatcher's listeners.
  EepromRecords& records() { return records_; }

  // True from a read's start on the GUI thread to its worker's end.
  bool reading() const { return reading_.load(); }

  void FormShow();
  // Gives the main window back; refused while a read runs (see above).
  void FormClose();
  void PageControlEEPChange();
  void BitBtnEEPBlockChoiceReadClick();
  void BitBtnEEPPreViewClick();
  void BitBtnEEPRangeClick();
  void BitBtnCleanClick();
  void BitBtnEEPSaveClick();

  // The workers, each whole (open, exchange, close, buttons back).
  void ReadHeaderBlockThread();
  void ReadBlockThread(EepList list);  // ReadProtectBlockThread, ReadLeadBlockThread, ReadLastBlockThread
  // ReadLeadRangeThread, ReadLastRangeThread: the records s + 1 to e + 1 (the chosen items' positions, -1 for
  // none); nothing when either is not chosen or e < s.
  void ReadRangeThread(EepList list, int s, int e);
  void PreViewThread();

 private:
  // The exchanges, on the open adapter with the exchange lock held.
  void readHeader(link::Link& link);
  void RequestHeaderItems(link::Link& link);
  void ShowEepHeaderText();
  void ReadBlock(link::Link& link, EepList list);
  void readRecord(link::Link& link, EepList list, uint32_t number);
  uint16_t ReadEventCount(link::Link& link, EepList list);

  // Starts a worker as its button's handler does; false (and nothing running) when it could not start.
  bool startRead(const commands::UrCommandShape& shape, std::function<void()> worker);
  // What ends every worker: Save and the range button by what the pages hold.
  void finishRead();
  void applySaveRule();

  mainwindow::MainState& state_;
  Controls& controls_;
  commands::UrCommandRunner runner_;
  EepromRecords records_;
  Control mainWindow_;
  std::atomic<bool> reading_{false};
  std::atomic<bool> stop_{false};
  // The records the last preview offered in the range lists; the range button is on only when there are some.
  std::atomic<int> rangeCount_{0};
  std::unique_ptr<QFile> protectLog_;  // the protection read's, its worker only
};

}  // namespace qv::eeprom
