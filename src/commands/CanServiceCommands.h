#pragma once
// The CAN service commands of the "QV" page: clock set, erase of the pack's internal EEPROM, shipping-mode set
// and deep sleep; the shipping-mode read of every CAN monitoring cycle and the pack clock request of the
// Function Test.
//
// They ride on the CAN run that holds the adapter (CAN monitoring, the Function Test) and never open or close
// it; without such a run they send nothing and fail at once. Each holds the exchange lock for its whole
// exchange, from its first receive to giving its button back, so monitoring pauses at its next step and no other
// receive can take this command's answers; the run's end waits for the command the same way, so a button is
// never given back after the run took it.
//
// The commands run on the caller's thread: the click handlers start them on a worker, the Function Test and
// the polling loop call them on theirs. Each command clears only its own answer-flag byte. The result of a
// command goes to the label of its group.

#include "commands/UrCommand.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"

#include <QDateTime>

#include <array>
#include <cstdint>

namespace qv::commands {

// The six clock bytes of a CAN clock set: year minus 2000 (modulo 256), month, day, hour, minute, second.
std::array<uint8_t, 6> CanClockBytes(const QDateTime& when);

// Common start of the service-page workers, with the exchange lock held: the keep-alive switched on, what has
// arrived handed on, 1 ms. False, with nothing done, when no CAN run holds the adapter.
bool CanCommandStart(link::Link& link);

// Up to ten tries of the clock set with the PC's clock at each try. Answered: Edit_RTC_CAN_ENG shows the clock
// written, EVT_TEST keeps it; otherwise the edit stays empty and EVT_TEST's written clock is zero. True when the
// pack accepted it.
bool CanSetRtcWorker(link::Link& link, mainwindow::MainState& state);
// Three passes of the shipping-mode set with the tick of CheckBox_SippingMode. Label_GET_SET_RXCMD reads
// "CMD : OK" when the pack accepted it, "CMD : Refused" when it answered with a refusal, "CMD : Timeout" when it
// never answered. True only when accepted.
bool CanSetShippingModeWorker(link::Link& link, mainwindow::MainState& state);
// Up to ten tries of the deep sleep (after 100 ms); true when the pack accepted it. The run goes on.
bool CanDeepSleep(link::Link& link, mainwindow::MainState& state);
// The deep sleep of the page's button: CanDeepSleep, then the run flag cleared, which ends CAN monitoring
// whether or not the pack answered.
void CanDeepSleepWorker(link::Link& link, mainwindow::MainState& state);
// Up to ten tries of the internal EEPROM's erase while the erase group's "EEPROM Erase" box is ticked:
// "Erase Success" or "Time out" on LabelEPPEraseStatus. Without the tick the label is emptied and nothing is sent.
void CanEraseEepromWorker(link::Link& link, mainwindow::MainState& state);

// The polling loop's shipping-mode read, with the exchange lock held: "CMD : OK" or "CMD : Timeout" on
// Label_ShippingMode_RX_CMD; the value itself is shown by the CAN decoders. True when answered.
bool ReadShippingModeCan(link::Link& link);
// The Function Test's pack clock request: up to ten tries; true when the pack accepted one. The clock reaches
// the display and EVT_TEST through the CAN decoders.
bool RequestRtcCan(link::Link& link);

class CanServiceCommands {
 public:
  // start: how the workers are started (services.workers unless a test gives another).
  CanServiceCommands(link::Link& link, mainwindow::MainState& state, UrCommandRunner::StartWorker start = {});

  // The click handlers, on the GUI thread: each switches its button off and starts its worker; a click on a
  // button that is off starts nothing, and a worker that cannot start gives the button back.
  void SpdBtn_RTC_SETClick();
  void SpdBtn_EEP_Erase_SetClick();
  void SpdBtn_ShippingModeSetClick();
  void SpdBtn_DEEP_SLEEP_SETClick();
  // The box's caption says what the next set sends.
  void CheckBox_SippingModeClick();

 private:
  void start(Control button, const char* name, void (*worker)(link::Link&, mainwindow::MainState&));

  link::Link& link_;
  mainwindow::MainState& state_;
  Controls& controls_;
  UrCommandRunner::StartWorker start_;
};

}  // namespace qv::commands
