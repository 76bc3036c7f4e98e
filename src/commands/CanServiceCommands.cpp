#include "commands/CanServiceCommands.h"

#include "commands/CanCommandNames.h"
#include "commands/UrServiceCommands.h"
#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace qv::commands {

namespace {

using namespace canCommandNames;

constexpr int kWriteTries = 10;
constexpr int kRetryMs = 10;

// A request of index 0 whose value is the number of data bytes, and its data message.
void sendWithData(link::Link& link, uint16_t command, const uint8_t* data, int n) {
  link::CanSendRequest(link, command, 0, kNoArgs, static_cast<uint8_t>(n));
  link::CanSendRequestData(link, data, n);
}

// Up to `polls` looks, 1 ms apart, until the family's bit shows an answer header, whatever its status.
bool pollAnswered(link::Link& link, const link::CanAnswerFlags& flags, uint16_t command, CanAckFamily family,
                  int polls) {
  for (int i = 0; i < polls; ++i) {
    link::CanWaitResponse(link, command, 0);
    if ((flags.answered(family) & 0x01) != 0) return true;
    sleepMs(1);
  }
  return false;
}

void setWrittenClock(mainwindow::MainState& state, const QDateTime* when) {
  state.records.EVT_TEST.with([&](mainwindow::EvtTest& t) {
    if (when == nullptr) {
      t.WrittenRtcYear = t.WrittenRtcMonth = t.WrittenRtcDay = 0;
      t.WrittenRtcHour = t.WrittenRtcMinute = t.WrittenRtcSecond = 0;
      // A stale date from an earlier set would be compared with the pack's clock as if this one had gone in.
      t.WrittenRtcDate = t.WrittenRtcSeconds = 0;
      return;
    }
    const QDate d = when->date();
    const QTime tm = when->time();
    t.WrittenRtcYear = d.year();
    t.WrittenRtcMonth = d.month();
    t.WrittenRtcDay = d.day();
    t.WrittenRtcHour = tm.hour();
    t.WrittenRtcMinute = tm.minute();
    t.WrittenRtcSecond = tm.second();
    t.WrittenRtcDate = d.year() * 10000 + d.month() * 100 + d.day();
    t.WrittenRtcSeconds = tm.hour() * 3600 + tm.minute() * 60 + tm.second();
  });
}

// The deep sleep's exchange, with the exchange lock held.
bool deepSleep(link::Link& link) {
  const CanButtonsOff off(link, {c::SpdBtn_DEEP_SLEEP_SET});
  sleepMs(100);
  if (!link.canSessionHeld()) return false;
  static constexpr uint8_t kData[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int i = 0; i < kWriteTries; ++i) {
    sendWithData(link, msg::kDeepSleep, kData, 8);
    if (link::CanWaitResponse(link, msg::kDeepSleep, 0)) return true;
    sleepMs(kRetryMs);
  }
  return false;
}

}  // namespace

void GiveCanButtonBack(link::Link& link, Control button) {
  if (link.canSessionHeld()) link.controls.setEnabled(button, true);
}

CanButtonsOff::CanButtonsOff(link::Link& link, std::initializer_list<Control> buttons) : link_(link) {
  for (Control button : buttons) {
    was_.emplace_back(button, link.controls.enabled(button));
    link.controls.setEnabled(button, false);
  }
}

CanButtonsOff::~CanButtonsOff() {
  for (const auto& [button, on] : was_) {
    if (on) GiveCanButtonBack(link_, button);
  }
}

bool StartCanWorker(link::Link& link, const UrCommandRunner::StartWorker& start, Control button, const char* name,
                    std::function<void()> worker) {
  Controls& controls = link.controls;
  if (!controls.enabled(button)) return false;
  controls.setEnabled(button, false);
  try {
    start(name, [&link, button, worker = std::move(worker)] {
      worker();
      const auto exchange = link.exchange();
      GiveCanButtonBack(link, button);
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s not started: %s\n", name, e.what());
    controls.setEnabled(button, true);
    return false;
  }
  return true;
}

UrCommandRunner::StartWorker DefaultCanWorkerStart(link::Link& link) {
  return [&workers = link.services.workers](std::string name, std::function<void()> fn) {
    workers.start(std::move(name), std::move(fn));
  };
}

std::array<uint8_t, 6> CanClockBytes(const QDateTime& when) {
  const std::array<uint8_t, 8> b = ClockBytes(when);
  return {b[0], b[1], b[2], b[3], b[4], b[5]};
}

bool CanCommandStart(link::Link& link) {
  const auto exchange = link.exchange();
  if (!link.canSessionHeld()) return false;
  link.controls.setEnabled(c::Timer_300h_ON, true);
  link::CanReceiveDispatch(link);
  sleepMs(1);
  return true;
}

bool CanSetRtcWorker(link::Link& link, mainwindow::MainState& state) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  const CanButtonsOff off(link, {c::SpdBtn_RTC_SET});
  if (!CanCommandStart(link)) return false;
  bool answered = false;
  for (int i = 0; i < kWriteTries && !answered; ++i) {
    controls.setText(c::Edit_RTC_CAN_ENG, QString());
    const QDateTime when = platform::now();
    const std::array<uint8_t, 6> clock = CanClockBytes(when);
    sendWithData(link, msg::kClockSet, clock.data(), static_cast<int>(clock.size()));
    answered = link::CanWaitResponse(link, msg::kClockSet, 0);
    if (answered) {
      controls.setText(c::Edit_RTC_CAN_ENG, ClockSetText(when));
      setWrittenClock(state, &when);
    } else {
      setWrittenClock(state, nullptr);
      sleepMs(kRetryMs);
    }
  }
  return answered;
}

bool CanSetShippingModeWorker(link::Link& link, mainwindow::MainState& /*state*/) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  if (!CanCommandStart(link)) return false;
  const CanButtonsOff off(link, {c::SpdBtn_ShippingModeSet});
  controls.setText(c::Label_GET_SET_RXCMD, QStringLiteral("CMD :"));
  controls.setText(c::Label_GET_RXDAT, QString());
  const uint8_t bit = controls.checked(c::CheckBox_SippingMode) ? 1 : 0;
  link::CanAnswerFlags* flags = link.canAnswerFlags();
  bool heard = false;
  bool accepted = false;
  for (int pass = 0; pass < 3 && flags != nullptr; ++pass) {
    // Each pass judged by its own answer: a refusal heard once is not taken for the acceptance of a later pass.
    flags->clear(CanAckFamily::ShippingModeSet);
    sendWithData(link, msg::kShippingModeSet, &bit, 1);
    if (pollAnswered(link, *flags, msg::kShippingModeSet, CanAckFamily::ShippingModeSet, 500)) {
      heard = true;
      accepted = (flags->accepted(CanAckFamily::ShippingModeSet) & 0x01) != 0;
    }
    sleepMs(50);
  }
  controls.setText(c::Label_GET_SET_RXCMD, QString::fromLatin1(accepted ? "CMD : OK"
                                                               : heard  ? "CMD : Refused"
                                                                        : "CMD : Timeout"));
  return accepted;
}

bool CanDeepSleep(link::Link& link, mainwindow::MainState& /*state*/) {
  const auto exchange = link.exchange();
  return deepSleep(link);
}

void CanDeepSleepWorker(link::Link& link, mainwindow::MainState& state) {
  const auto exchange = link.exchange();
  // The run flag belongs to the run this command rides on; with none there is nothing of its to end.
  if (!link.canSessionHeld()) return;
  deepSleep(link);
  state.RunFlag.set(0);
}

void CanEraseEepromWorker(link::Link& link, mainwindow::MainState& /*state*/) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  const CanButtonsOff off(link, {c::SpdBtn_EEP_Erase_Set});
  if (!CanCommandStart(link)) return;
  // The consent is the erase group's own box: the UR page's box is not on screen under CAN.
  if (!controls.checked(c::CheckBox1)) {
    controls.setText(c::LabelEPPEraseStatus, QString());
    return;
  }
  static constexpr uint8_t kData[1] = {0x01};
  for (int i = 0; i < kWriteTries; ++i) {
    sendWithData(link, msg::kEraseInternalEeprom, kData, 1);
    if (link::CanWaitResponse(link, msg::kEraseInternalEeprom, 0)) {
      controls.setText(c::LabelEPPEraseStatus, QStringLiteral("Erase Success"));
      break;
    }
    controls.setText(c::LabelEPPEraseStatus, QStringLiteral("Time out"));
    sleepMs(kRetryMs);
  }
}

bool ReadShippingModeCan(link::Link& link) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  controls.setText(c::Label_ShippingMode_RX_CMD, QStringLiteral("CMD : "));
  controls.setText(c::Label_ShippingMode_RX_DAT, QStringLiteral("DAT : "));
  link::CanAnswerFlags* flags = link.canAnswerFlags();
  bool answered = false;
  if (flags != nullptr && link.canSessionHeld()) {
    // Only this read's own byte: a command beside it may be polling another.
    flags->clear(CanAckFamily::ShippingModeRead);
    link::CanSendRequest(link, msg::kShippingMode, 0, kNoArgs, 0);
    link::CanWaitResponse(link, msg::kShippingMode, 0);
    for (int pass = 0; pass < 3 && !answered; ++pass) {
      link::CanSendRequest(link, msg::kShippingMode, 0, kNoArgs, 0);
      answered = pollAnswered(link, *flags, msg::kShippingMode, CanAckFamily::ShippingModeRead, 200);
      if (!answered) sleepMs(100);
    }
  }
  controls.setText(c::Label_ShippingMode_RX_CMD, QString::fromLatin1(answered ? "CMD : OK" : "CMD : Timeout"));
  return answered;
}

bool RequestRtcCan(link::Link& link) {
  const auto exchange = link.exchange();
  if (!link.canSessionHeld()) return false;
  for (int i = 0; i < kWriteTries; ++i) {
    link::CanSendRequest(link, msg::kPackClock, 0, kNoArgs, 0);
    sleepMs(5);
    if (link::CanWaitResponse(link, msg::kPackClock, 0)) return true;
    sleepMs(kRetryMs);
  }
  return false;
}

CanServiceCommands::CanServiceCommands(link::Link& link, mainwindow::MainState& state,
                                       UrCommandRunner::StartWorker start)
    : link_(link),
      state_(state),
      controls_(link.controls),
      start_(start ? std::move(start) : DefaultCanWorkerStart(link)) {}

void CanServiceCommands::start(Control button, const char* name, void (*worker)(link::Link&, mainwindow::MainState&)) {
  StartCanWorker(link_, start_, button, name, [this, worker] { worker(link_, state_); });
}

void CanServiceCommands::SpdBtn_RTC_SETClick() {
  start(c::SpdBtn_RTC_SET, "CanSetRtcWorker", [](link::Link& l, mainwindow::MainState& s) { CanSetRtcWorker(l, s); });
}

void CanServiceCommands::SpdBtn_EEP_Erase_SetClick() {
  start(c::SpdBtn_EEP_Erase_Set, "CanEraseEepromWorker", CanEraseEepromWorker);
}

void CanServiceCommands::SpdBtn_ShippingModeSetClick() {
  start(c::SpdBtn_ShippingModeSet, "CanSetShippingModeWorker",
        [](link::Link& l, mainwindow::MainState& s) { CanSetShippingModeWorker(l, s); });
}

void CanServiceCommands::SpdBtn_DEEP_SLEEP_SETClick() {
  start(c::SpdBtn_DEEP_SLEEP_SET, "CanDeepSleepWorker", CanDeepSleepWorker);
}

void CanServiceCommands::CheckBox_SippingModeClick() {
  controls_.setText(c::CheckBox_SippingMode,
                    QString::fromLatin1(controls_.checked(c::CheckBox_SippingMode) ? "Enabled" : "Disabled"));
}

}  // namespace qv::commands
