#pragma once
// The UR service commands over UR2 pack frames: sleep and deep sleep, the pack serial number, the pack clock,
// the shipping mode and the erase of the pack's EEPROM. Each click handler is a starter of the UR command
// shape (UrCommand.h); each worker opens the adapter, runs its exchange and closes it again. The result of a
// command goes to the caption of the box beside its button, or to the edit it reads into.
//
// The exchanges are free functions on an adapter the caller holds open, with the exchange lock held: the
// workers use them, and the polling loops of monitoring read the clock and the shipping mode with them.

#include "commands/UrCommand.h"
#include "link/Link.h"
#include "link/PackMessages.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

namespace qv::commands {

// The eight bytes a serial number is sent in: the text as 8-bit characters, at most eight, zeros after it.
std::array<uint8_t, 8> SerialNumberBytes(const QString& text);
// The eight clock bytes of a clock set: year minus 2000 (modulo 256), month, day, hour, minute, second, 00 00.
std::array<uint8_t, 8> ClockBytes(const QDateTime& when);
// The clock text a set shows once acknowledged: " yyyy.mm.dd   hh:nn:ss ".
QString ClockSetText(const QDateTime& when);

// The exchanges, each on an open adapter with the exchange lock held.
// One sleep (0x4205) or deep sleep (0x4206) request; no answer is awaited, the pack may sleep at once.
void SendSleep(link::Link& link, uint16_t message);
// Sends EditPDSN's text (its first eight bytes) as the serial number; true when acknowledged.
bool WriteSerialNumber(link::Link& link);
// Empties EditPDSN and reads the serial number into it (up to three tries); true when an answer was accepted.
bool ReadSerialNumber(link::Link& link);
// Sets the pack clock to `when`; EditRTC shows the clock set once acknowledged, nothing otherwise.
bool WriteRtc(link::Link& link, const QDateTime& when);
// Reads the pack clock into EditRTC (up to three tries); EditRTC is emptied after each failed try.
bool ReadRtc(link::Link& link);
// Sends the tick of CheckBoxSippingMode and captions the box with the result.
bool WriteShippingMode(link::Link& link);
// Empties the box's caption and reads the shipping mode into it (up to three tries).
bool ReadShippingMode(link::Link& link);
// The polling loop's one read of the shipping mode; "Unknown" on the read-only box when nothing came.
bool PollShippingMode(link::Link& link);
// Up to three erase requests while CheckBoxEEPROMErase stays ticked; the box's caption gets the result.
bool EraseEeprom(link::Link& link);

class UrServiceCommands {
 public:
  // start: how the workers are started (services.workers unless a test gives another).
  explicit UrServiceCommands(link::Link& link, UrCommandRunner::StartWorker start = {});

  // The click handlers, on the GUI thread: each starts its worker.
  void SpdBtnSleepClick();
  void SpdBtnDeepSleepClick();
  void SpdBtnSNSetClick();
  void SpdBtnSNGetClick();
  void SpdBtnRTCSetClick();
  void SpdBtnRTCGetClick();
  void SpdBtnShippingModeSetClick();
  void SpdBtnShippingModeGetClick();
  void SpdBtnEEPROMEraseSetClick();
  // Ticking the box by hand removes the last result text; the tick is what the next Set sends.
  void CheckBoxSippingModeClick();

  // The workers, each a whole command from the open to the clean-up.
  void SleepWorker();
  void DeepSleepWorker();
  void SetSerialNumberWorker();
  void GetSerialNumberWorker();
  void SetRtcWorker();
  void GetRtcWorker();
  void SetShippingModeWorker();
  void GetShippingModeWorker();
  void EraseEepromWorker();

 private:
  link::Link& link_;
  Controls& controls_;
  UrCommandRunner runner_;
};

}  // namespace qv::commands
