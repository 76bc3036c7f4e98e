#include "commands/UrServiceCommands.h"

#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

namespace qv::commands {

namespace {

using platform::sleepMs;
namespace c = mainwindow::ctl;

constexpr std::array<uint8_t, 3> kNoData{0, 0, 0};

// The shapes, as each command goes about its exchange.
const UrCommandShape kSleepShape{"SleepWorker", {c::SpdBtnSleep}, 100, true, 100, true};
const UrCommandShape kDeepSleepShape{"DeepSleepWorker", {c::SpdBtnDeepSleep}, 100, true, 100, true};
const UrCommandShape kSerialSetShape{"SetSerialNumberWorker", {c::SpdBtnSNSet, c::SpdBtnSNGet}, 0, true, 300, true};
const UrCommandShape kSerialGetShape{"GetSerialNumberWorker", {c::SpdBtnSNSet, c::SpdBtnSNGet}, 0, true, 300, true};
const UrCommandShape kRtcSetShape{"SetRtcWorker", {c::SpdBtnRTCSet}};
const UrCommandShape kRtcGetShape{"GetRtcWorker", {c::SpdBtnRTCGet}};
const UrCommandShape kShippingSetShape{"SetShippingModeWorker", {c::SpdBtnShippingModeSet}};
const UrCommandShape kShippingGetShape{"GetShippingModeWorker", {c::SpdBtnShippingModeGet}};
const UrCommandShape kEraseShape{"EraseEepromWorker", {c::SpdBtnEEPROMEraseSet}};

constexpr int kSerialBytes = 8;

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// A write: the request with its data count, the wait, the data frame, the wait, the acknowledgement.
bool writeWithData(link::Link& link, uint16_t message, uint8_t count, const std::array<uint8_t, 8>& data,
                   int waitBetweenMs, int waitBeforeAckMs) {
  link::SendPackCommand(link, message, 0, kNoData, count);
  sleepMs(waitBetweenMs);
  link::SendPackText8(link, data);
  sleepMs(waitBeforeAckMs);
  return link::WaitPackAck(link, message, 0);
}

// A read: the request (whose purge empties the receive queue first, so the answer read is aligned on its
// frames whatever an earlier exchange left), the wait, the answer. An accepted answer of any message has been
// dispatched and ends the caller's tries.
bool readOnce(link::Link& link, uint16_t message, uint16_t index, int waitMs) {
  link::SendPackCommand(link, message, index, kNoData, 0);
  sleepMs(waitMs);
  return link::ReceivePackMessage(link);
}

}  // namespace

std::array<uint8_t, 8> SerialNumberBytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  std::array<uint8_t, 8> out{};
  for (int i = 0; i < kSerialBytes && i < bytes.size(); ++i) {
    out[static_cast<size_t>(i)] = static_cast<uint8_t>(bytes[i]);
  }
  return out;
}

std::array<uint8_t, 8> ClockBytes(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  // clang-format off
  return {static_cast<uint8_t>(d.year() - 2000), static_cast<uint8_t>(d.month()), static_cast<uint8_t>(d.day()),
          static_cast<uint8_t>(t.hour()),        static_cast<uint8_t>(t.minute()), static_cast<uint8_t>(t.second()),
          0,
          0};
  // clang-format on
}

QString ClockSetText(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  return QStringLiteral(" ") + QString::number(d.year()).rightJustified(4, QLatin1Char('0')) + "." +
         twoDigits(d.month()) + "." + twoDigits(d.day()) + "   " + twoDigits(t.hour()) + ":" + twoDigits(t.minute()) +
         ":" + twoDigits(t.second()) + " ";
}

void SendSleep(link::Link& link, uint16_t message) {
  link::SendPackCommand(link, message, 0, kNoData, 0);
  sleepMs(100);
}

bool WriteSerialNumber(link::Link& link) {
  const std::array<uint8_t, 8> serial = SerialNumberBytes(link.controls.text(c::EditPDSN));
  return writeWithData(link, link::msg::kSerialNumberWrite, kSerialBytes, serial, 100, 100);
}

bool ReadSerialNumber(link::Link& link) {
  link.controls.setText(c::EditPDSN, QString());
  for (int i = 0; i < 3; ++i) {
    if (readOnce(link, link::msg::kSerialNumber, 1, 100)) return true;
    sleepMs(300);
  }
  return false;
}

bool WriteRtc(link::Link& link, const QDateTime& when) {
  const bool acknowledged = writeWithData(link, link::msg::kClockSet, 6, ClockBytes(when), 10, 100);
  link.controls.setText(c::EditRTC, acknowledged ? ClockSetText(when) : QString());
  return acknowledged;
}

bool ReadRtc(link::Link& link) {
  for (int i = 0; i < 3; ++i) {
    if (readOnce(link, link::msg::kPackClock, 0, 100)) return true;
    link.controls.setText(c::EditRTC, QString());
    sleepMs(300);
  }
  return false;
}

bool WriteShippingMode(link::Link& link) {
  Controls& controls = link.controls;
  controls.setText(c::CheckBoxSippingMode, QString());
  const bool enable = controls.checked(c::CheckBoxSippingMode);
  const std::array<uint8_t, 8> data{static_cast<uint8_t>(enable ? 1 : 0), 0, 0, 0, 0, 0, 0, 0};
  const bool acknowledged = writeWithData(link, link::msg::kShippingModeSet, 1, data, 20, 0);
  controls.setText(c::CheckBoxSippingMode, QString::fromLatin1(!acknowledged ? "Write error."
                                                               : enable      ? "Write En OK."
                                                                             : "Write Dis OK."));
  return acknowledged;
}

bool ReadShippingMode(link::Link& link) {
  Controls& controls = link.controls;
  controls.setText(c::CheckBoxSippingMode, QString());
  for (int i = 0; i < 3; ++i) {
    if (readOnce(link, link::msg::kShippingMode, 0, 40)) return true;
    controls.setChecked(c::CheckBoxSippingMode, false);
    controls.setText(c::CheckBoxSippingMode, QStringLiteral("Read error."));
    sleepMs(80);
  }
  return false;
}

bool PollShippingMode(link::Link& link) {
  if (readOnce(link, link::msg::kShippingMode, 0, 20)) return true;
  link.controls.setChecked(c::CheckBoxShippingModeReadOnly, false);
  link.controls.setText(c::CheckBoxShippingModeReadOnly, QStringLiteral("Unknown"));
  return false;
}

bool EraseEeprom(link::Link& link) {
  Controls& controls = link.controls;
  controls.setText(c::CheckBoxEEPROMErase, QString());
  // The consent is read again before every try: once it is withdrawn nothing more is sent, and no request
  // ever carries a cleared tick (an erase with data 00 has no defined meaning).
  bool acknowledged = false;
  bool withdrawn = false;
  for (int i = 0; i < 3 && !acknowledged; ++i) {
    if (!controls.checked(c::CheckBoxEEPROMErase)) {
      withdrawn = true;
      break;
    }
    acknowledged = writeWithData(link, link::msg::kEraseExternalEeprom, 1, {1, 0, 0, 0, 0, 0, 0, 0}, 40, 0);
    if (!acknowledged) sleepMs(100);
  }
  if (withdrawn) {
    controls.setText(c::CheckBoxEEPROMErase, QStringLiteral("Invalid."));
  } else if (!acknowledged) {
    controls.setText(c::CheckBoxEEPROMErase, QStringLiteral("Time out."));
  }
  return acknowledged;
}

UrServiceCommands::UrServiceCommands(link::Link& link, UrCommandRunner::StartWorker start)
    : link_(link), controls_(link.controls), runner_(link, std::move(start)) {}

// clang-format off
void UrServiceCommands::SpdBtnSleepClick() { runner_.Start(kSleepShape, [this] { SleepWorker(); }); }
void UrServiceCommands::SpdBtnDeepSleepClick() { runner_.Start(kDeepSleepShape, [this] { DeepSleepWorker(); }); }
void UrServiceCommands::SpdBtnSNSetClick() { runner_.Start(kSerialSetShape, [this] { SetSerialNumberWorker(); }); }
void UrServiceCommands::SpdBtnSNGetClick() { runner_.Start(kSerialGetShape, [this] { GetSerialNumberWorker(); }); }
void UrServiceCommands::SpdBtnRTCSetClick() { runner_.Start(kRtcSetShape, [this] { SetRtcWorker(); }); }
void UrServiceCommands::SpdBtnRTCGetClick() { runner_.Start(kRtcGetShape, [this] { GetRtcWorker(); }); }
// clang-format on
void UrServiceCommands::SpdBtnShippingModeSetClick() {
  runner_.Start(kShippingSetShape, [this] { SetShippingModeWorker(); });
}
void UrServiceCommands::SpdBtnShippingModeGetClick() {
  runner_.Start(kShippingGetShape, [this] { GetShippingModeWorker(); });
}

void UrServiceCommands::SpdBtnEEPROMEraseSetClick() {
  if (!controls_.enabled(c::SpdBtnEEPROMEraseSet)) return;
  // Without the consent nothing is touched and the adapter is not opened.
  if (!controls_.checked(c::CheckBoxEEPROMErase)) {
    controls_.setText(c::CheckBoxEEPROMErase, QStringLiteral("Invalid."));
    return;
  }
  runner_.Start(kEraseShape, [this] { EraseEepromWorker(); });
}

void UrServiceCommands::CheckBoxSippingModeClick() {
  if (!controls_.text(c::CheckBoxSippingMode).isEmpty()) controls_.setText(c::CheckBoxSippingMode, QString());
}

void UrServiceCommands::SleepWorker() {
  runner_.Run(kSleepShape, [](link::Link& link) { SendSleep(link, link::msg::kSleep); });
}

void UrServiceCommands::DeepSleepWorker() {
  runner_.Run(kDeepSleepShape, [](link::Link& link) { SendSleep(link, link::msg::kDeepSleep); });
}

void UrServiceCommands::SetSerialNumberWorker() {
  // The edit is cut to the last eight bytes of its 8-bit text before anything is sent; the set's result is
  // not shown (a read shows what the pack keeps).
  const QByteArray text = controls_.text(c::EditPDSN).toLatin1();
  if (text.size() > kSerialBytes) controls_.setText(c::EditPDSN, QString::fromLatin1(text.right(kSerialBytes)));
  runner_.Run(kSerialSetShape, [](link::Link& link) { WriteSerialNumber(link); });
}

void UrServiceCommands::GetSerialNumberWorker() {
  runner_.Run(kSerialGetShape, [](link::Link& link) { ReadSerialNumber(link); });
}

void UrServiceCommands::SetRtcWorker() {
  runner_.Run(kRtcSetShape, [](link::Link& link) { WriteRtc(link, platform::now()); });
}

void UrServiceCommands::GetRtcWorker() {
  runner_.Run(kRtcGetShape, [](link::Link& link) {
    link.controls.setText(c::EditRTC, QString());
    ReadRtc(link);
  });
}

void UrServiceCommands::SetShippingModeWorker() {
  runner_.Run(kShippingSetShape, [](link::Link& link) { WriteShippingMode(link); });
}

void UrServiceCommands::GetShippingModeWorker() {
  runner_.Run(kShippingGetShape, [](link::Link& link) { ReadShippingMode(link); });
}

void UrServiceCommands::EraseEepromWorker() {
  runner_.Run(kEraseShape, [](link::Link& link) { EraseEeprom(link); });
}

}  // namespace qv::commands
