#pragma once
// The Function Test (the page TabSheet_EVT): the production line's automatic test of one pack over CAN. TEST
// starts FunctionTestWorker, which checks the inputs, reads EVT.ini again, opens the adapter, waits for the
// pack's broadcasts, runs the writing steps EVT.ini switches on and the sleep test with the operator's answers,
// then the check items TestRepeatCnt times, and ends every run the same way: the closing command, the verdict,
// the counters and the report file. Every line goes to MemoLog, whose lines become the report.
//
// One run at a time, and the run owns the adapter: the click marks a run active before its worker starts and
// nothing else clears the mark but the end of that run; while it is set the monitoring, the UR commands, the
// configuration dialog, the firmware window and the CAN page's commands are switched off, and TEST is refused
// while another session holds the adapter.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Services.h"
#include "production/CanAnswerCounts.h"
#include "production/FunctionTestReads.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace qv::production {

// What the run calls of the CAN service commands, filled by the composition (tests fill it with their own).
// A member left empty counts as a command that failed or a read that brought nothing.
struct FunctionTestActions {
  std::function<bool()> setRtc;            // CanSetRtcWorker: the PC's time to the pack, Edit_RTC_CAN_ENG shown
  std::function<bool()> setShippingMode;   // CanSetShippingModeWorker: the mode of CheckBox_SippingMode
  std::function<void()> deepSleep;         // CanDeepSleep
  std::function<void(bool on)> keepAlive;  // Timer_300h_ON on or off
  std::function<bool()> readBarcode32;     // CanReadBarcode32 into CanBarcodeBuffer
  std::function<bool()> readBarcode16;     // CanReadBarcode16
  std::function<bool()> readBarcode16Alt;  // CanReadBarcode16Alt
  std::function<void()> requestRtc;        // RequestRtcCan: the pack clock into EVT_TEST
};

// The barcode as the pack takes it: the typed text as 8-bit text (Big5 for the Chinese characters), cut at 32
// bytes without splitting a character.
QByteArray EncodedBarcode(const QString& typed);

class FunctionTest {
 public:
  FunctionTest(platform::Services& services, link::Link& link, mainwindow::MainState& state, CanAnswerCounts& counts);

  FunctionTestActions actions;
  // The folder the reports go under ("the executable's folder"); link::ExeDirectory unless a test gives another.
  std::function<QString()> reportFolder;

  // The click of SpdBtn_EVTTest, on the GUI thread: STOP while a run shows "STOP", else a new run when none is
  // active and no other session holds the adapter.
  void SpdBtn_EVTTestClick();
  // The whole run, on its worker.
  void FunctionTestWorker();
  // A run started and its end has not finished yet.
  bool active() const { return active_.load(); }

 private:
  class Run;

  platform::Services& services_;
  link::Link& link_;
  mainwindow::MainState& state_;
  CanAnswerCounts& counts_;
  std::atomic<bool> active_{false};
  // The enabled state of the controls the run switched off, given back at its end.
  std::vector<std::pair<Control, bool>> heldOff_;
};

}  // namespace qv::production
