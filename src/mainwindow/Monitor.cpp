#include "mainwindow/Monitor.h"

#include "link/AdapterFrames.h"
#include "link/CanLayer.h"
#include "link/PackFrames.h"
#include "link/PackMessages.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MonitorLog.h"
#include "mainwindow/Ur96Record.h"
#include "platform/Text.h"
#include "platform/Time.h"

#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"

#include <array>
#include <cstdio>
#include <exception>
#include <optional>
#include <span>

namespace qv::mainwindow {

namespace {

namespace msg = link::msg;

using platform::sleepMs;

// The texts of the status bar's link and mode panels.
const QString kStartText = QStringLiteral("  SYS : < START > ");
const QString kStopText = QStringLiteral("  SYS : < STOP > ");
const QString kDetectingText = QStringLiteral(" Auto detection ..... ");
const QString kNotFoundText = QStringLiteral(" Not found ");
const QString kCanModeText = QStringLiteral(" CAN Mode ");

constexpr uint32_t kCanBitRate = 250000;

using link::kProtocolCan;
using link::kProtocolUr;

// What the UR probes and the UR74 poll read into: a cleared buffer, so a short answer leaves zeros behind it.
using ReplyBuffer = std::array<uint8_t, 256>;

constexpr uint8_t kUr74Query[] = {'X'};
constexpr uint16_t kUr74RecordLength = 74;
constexpr uint8_t kUr96Query[] = {'&', '\r', '\n'};
constexpr uint16_t kUr96RecordLength = 96;
// The UR2 probe reads the header frame of the answer alone; the data frame behind it is purged by the next write.
constexpr uint16_t kUr2ProbeReadSize = 26;

constexpr Control kFixtureButtons[] = {ctl::SpdBtnChgSW,       ctl::SpdBtnDsgSW,       ctl::SpdBtnBtyVoltRead,
                                       ctl::SpdBtnDsgVoltRead, ctl::SpdBtnChgVoltRead, ctl::SpdBtnSOCRead};
// The battery energy and its shares, emptied when a run starts.
constexpr Control kUrEnergyBoxes[] = {ctl::Edit_UR96_Battery_Wh, ctl::Edit_UR96_SOH_Wh, ctl::Edit_UR96_SOC_Wh};
constexpr Control kCanEnergyBoxes[] = {ctl::Edit_Battery_Capacity_BRCAN, ctl::Edit_BRCAN_SOH_Capacity,
                                       ctl::Edit_BRCAN_SOC_Wh};
constexpr Control kCellResistanceButtons[] = {ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust,
                                              ctl::BitBtnWCellmOmhAdjust};
// The CAN command buttons: usable only while CAN monitoring holds the adapter open.
constexpr Control kCanCommandButtons[] = {
    ctl::SpdBtn_RTC_SET,        ctl::SpdBtn_EEP_Erase_Set, ctl::SpdBtn_ShippingModeSet, ctl::SpdBtn_ShippingModeGet,
    ctl::SpdBtn_DEEP_SLEEP_SET, ctl::SpdBtn_Barcode32_W,   ctl::SpdBtn_Barcode32_R};

constexpr MessageRequest kCellRequests[] = {
    {msg::kCellVoltages, 1}, {msg::kCellVoltages, 2}, {msg::kCellVoltages, 3}, {msg::kCellVoltages, 4}};
// What a UR2 cycle asks before the cells, in its order.
constexpr MessageRequest kUr2CycleRequests[] = {
    {msg::kFirmwareId, 2},      {msg::kFirmwareVersion, 0},     {msg::kMeasurement1002, 0},
    {msg::kPackConfig, 2},      {msg::kTotalChargeCapacity, 0}, {msg::kPackConfig, 1},
    {msg::kMeasurement1006, 0}, {msg::kTemperatures, 0},        {msg::kProtectionFlags, 0}};
// What a CAN cycle asks before the cells (model name, firmware version) and after them.
constexpr MessageRequest kCanIdentityRequests[] = {
    {msg::kFirmwareId, 1}, {msg::kFirmwareId, 2}, {msg::kFirmwareVersion, 0}};
constexpr MessageRequest kCanValueRequests[] = {
    {msg::kPackClock, 0},       {msg::kCycleCount, 0},      {msg::kTemperatures, 0},
    {msg::kMeasurement1006, 0}, {msg::kProtectionFlags, 0}, {msg::kPackConfig, 1},
    {msg::kPackConfig, 2},      {msg::kPackConfig, 4},      {msg::kPackConfig, 5}};

void clearTexts(Controls& controls, std::span<const Control> names) {
  for (Control name : names) controls.setText(name, QString());
}
void setEnabled(Controls& controls, std::span<const Control> names, bool enabled) {
  for (Control name : names) controls.setEnabled(name, enabled);
}

bool call(const std::function<bool()>& hook) { return hook && hook(); }
void call(const std::function<void()>& hook) {
  if (hook) hook();
}

// One probe's tries: the probe, the wait after a failed try, the variant it finds.
struct ProbeTries {
  bool (*probe)(link::Link&);
  int waitMs;
  uint8_t variant;
};
constexpr ProbeTries kProbes[] = {
    {ProbeUr74, 80, kVariantUr74}, {ProbeUr96, 90, kVariantUr96}, {ProbeUr2, 50, kVariantUr2}};
constexpr int kTriesPerProbe = 3;

}  // namespace

bool ProbeUr74(link::Link& link) {
  const auto exchange = link.exchange();
  if (link::SendUartRequest(link, sizeof kUr74Query, kUr74RecordLength, kUr74Query)) link.BlinkTx();
  sleepMs(100);
  ReplyBuffer reply{};
  uint16_t length = 0;
  link::ReadUartReply(link, &length, reply.data(), reply.size());
  link.BlinkRx();
  return length == kUr74RecordLength && reply[0] == '!';
}

bool ProbeUr96(link::Link& link) {
  const auto exchange = link.exchange();
  if (!link::SendUartRequest(link, sizeof kUr96Query, kUr96RecordLength, kUr96Query)) return false;
  link.BlinkTx();
  sleepMs(100);
  ReplyBuffer reply{};
  uint16_t length = 0;
  link::ReadUartReply(link, &length, reply.data(), reply.size());
  if (length != kUr96RecordLength || reply[0] != 'J') return false;
  if (reply[95] != Ur96RecordSum(reply.data())) return false;
  link.BlinkRx();
  return true;
}

bool ProbeUr2(link::Link& link) {
  const auto exchange = link.exchange();
  // A request that every UR2 pack answers: index 0, no data.
  constexpr uint16_t kProbe = link::msg::kMeasurement1006;
  const link::PackFrame request =
      link::MakePackFrame(link::kPackRequest, {kProbe >> 8, kProbe & 0xFF, 0, 0, 0, 0, 0, 0});
  link::SendUartRequest(link, link::kPackFrameSize, link::kPackFrameSize, request.data());
  sleepMs(100);
  ReplyBuffer reply{};
  uint16_t length = 0;
  link::ReadUartReplyN(link, kUr2ProbeReadSize, &length, reply.data(), reply.size());
  return length == link::kPackFrameSize && reply[0] == 0x40 && reply[11] == link::PackFrameCheck(reply.data()) &&
         reply[4] >= 1 && reply[4] <= 100;
}

uint8_t DetectUrVariant(link::Link& link, const RunFlagByte& runFlag) {
  for (const ProbeTries& p : kProbes) {
    for (int i = 0; i < kTriesPerProbe && runFlag.running(); ++i) {
      if (p.probe(link)) return p.variant;
      sleepMs(p.waitMs);
    }
  }
  return kVariantNone;
}

Monitor::Monitor(platform::Services& services, link::Link& link, MainState& state)
    : services_(services), controls_(services.controls), link_(link), state_(state) {}

void Monitor::SpdBtnRUNClick() {
  controls_.setEnabled(ctl::SpdBtnLastChgDateGet, false);
  controls_.setEnabled(ctl::SpdBtnRUN, false);
  if (controls_.text(ctl::SpdBtnRUN) == QLatin1String("RUN")) {
    state_.RunFlag.set(1);
    call(hooks.ResetLiveDisplay);
    controls_.setFontColor(ctl::SpdBtnRUN, colour::Red);
    controls_.setText(ctl::SpdBtnRUN, QStringLiteral("STOP"));
    UpdateRunStopButtons(controls_);
    services_.workers.start("MonitorThreadProc", [this] { MonitorThreadProc(); });
  } else {
    // The worker sees the flag at its next check and gives the button back itself.
    state_.RunFlag.set(0);
  }
  controls_.setEnabled(ctl::SpdBtnRUN, true);
}

void Monitor::MonitorThreadProc() {
  controls_.setEnabled(ctl::SpdBtn_EVTTest, false);
  controls_.setPanel(ctl::StatusBarView, 0, kStartText);
  setEnabled(controls_, kFixtureButtons, false);
  controls_.setPosition(ctl::ProgressBarSOH, 0);
  controls_.setPosition(ctl::ProgressBarSOC, 0);
  controls_.setPanel(ctl::StatusBarView, 1, QString());

  // Whatever ends the run, the end step below runs: an adapter left open would refuse every later run. Only a
  // handle this run opened is closed: an open that failed because another session holds the adapter leaves that
  // session's handle alone.
  bool opened = false;
  try {
    if (link_.OpenAdapter()) {
      opened = true;
      state_.battery.set(BatteryLookup{});
      clearTexts(controls_, kUrEnergyBoxes);
      clearTexts(controls_, kCanEnergyBoxes);

      const int protocol = controls_.itemIndex(link::ctl::RadioGroup_Protocol);
      if (protocol == kProtocolUr) {
        RunUr();
      } else if (protocol == kProtocolCan) {
        RunCan();
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "monitoring ended by an exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "monitoring ended by an exception\n");
  }

  if (opened) link_.CloseAdapter();
  // The flag is down before RUN reads "RUN" again, and the caption is this run's last write: a RUN click can
  // only start a run whose start this one's end cannot undo.
  state_.RunFlag.set(0);
  controls_.setColor(ctl::Shape_TX, colour::White);
  controls_.setColor(ctl::Shape_RX, colour::White);
  SetCommandButtonsEnabled(controls_, true);
  controls_.setPanel(ctl::StatusBarView, 0, kStopText);
  controls_.setPanel(ctl::StatusBarView, 2, QString());
  controls_.setEnabled(ctl::SpdBtn_EVTTest, true);
  controls_.setFontColor(ctl::SpdBtnRUN, colour::Blue);
  controls_.setText(ctl::SpdBtnRUN, QStringLiteral("RUN"));
}

void Monitor::RunUr() {
  controls_.setPanel(ctl::StatusBarView, 1, kDetectingText);
  state_.DetectedUrVariant = kVariantNone;
  state_.DetectedUrVariant = DetectUrVariant(link_, state_.RunFlag);
  struct VariantRun {
    uint8_t variant;
    const char* modeText;
    void (Monitor::*poll)();
  };
  static constexpr VariantRun kRuns[] = {{kVariantUr74, " UR74 Mode ", &Monitor::PollUr74},
                                         {kVariantUr96, " UR96 Mode ", &Monitor::PollUr96},
                                         {kVariantUr2, " UR2 Mode ", &Monitor::PollUr2}};
  for (const VariantRun& run : kRuns) {
    if (run.variant != state_.DetectedUrVariant) continue;
    controls_.setPanel(ctl::StatusBarView, 1, QString::fromLatin1(run.modeText));
    (this->*run.poll)();
    return;
  }
  state_.RunFlag.set(0);
  controls_.setPanel(ctl::StatusBarView, 1, kNotFoundText);
}

void Monitor::RunCan() {
  controls_.setPanel(ctl::StatusBarView, 1, kCanModeText);
  bool rateSet = false;
  {
    const auto exchange = link_.exchange();
    rateSet = hooks.CheckCanBitRate && hooks.CheckCanBitRate(link_.AdapterHandle.load(), kCanBitRate);
  }
  // Polling goes on at whatever rate the adapter has.
  if (!rateSet) {
    controls_.setPanel(
        ctl::StatusBarView, 2,
        QStringLiteral(" Baud Rate  : ") + QString::number(kCanBitRate) + QStringLiteral(" Can't Set  "));
  }
  PollCan();
}

bool Monitor::exchanged(const std::function<bool()>& hook) {
  const auto exchange = link_.exchange();
  return call(hook);
}

void Monitor::exchanged(const std::function<void()>& hook) {
  const auto exchange = link_.exchange();
  call(hook);
}

bool Monitor::Ur2Requests(std::span<const MessageRequest> requests) {
  for (const MessageRequest& r : requests) {
    const auto exchange = link_.exchange();
    link::SendPackCommand(link_, r.id, r.index, {0, 0, 0}, 0);
    sleepMs(50);
    if (!running()) return false;
    link::ReceivePackMessage(link_);
    if (!running()) return false;
  }
  return true;
}

bool Monitor::CanRequests(std::span<const MessageRequest> requests) {
  for (const MessageRequest& r : requests) {
    const auto exchange = link_.exchange();
    link::CanSendRequest(link_, r.id, r.index, {0, 0, 0}, 0);
    // The request's 1 ms and the receive's own 5 ms, with nothing between them: one sleep.
    link::CanReceiveDispatchAnyAfter(link_, 1);
    if (!running()) return false;
  }
  return true;
}

bool Monitor::FindEventRecords() {
  call(hooks.ClearBarcodeKindFlags);
  if (!exchanged(hooks.ReadEventCounts)) return false;
  controls_.setVisible(ctl::GroupBoxLastChgDate, true);
  return true;
}

void Monitor::SearchLastChargeDate(bool untick) {
  controls_.setEnabled(ctl::CheckBoxLastChgDate, false);
  exchanged(hooks.ReadLastChargeDate);
  controls_.setEnabled(ctl::CheckBoxLastChgDate, true);
  if (untick) controls_.setChecked(ctl::CheckBoxLastChgDate, false);
}

void Monitor::PollUr74() {
  const std::unique_ptr<MonitorLog> log =
      CreateMonitorLog(controls_.checked(link::ctl::CheckBoxLogFileSave), controls_);
  while (running()) Ur74Cycle(log.get());
}

void Monitor::Ur74Cycle(MonitorLog* log) {
  if (!running()) return;
  ReplyBuffer reply{};
  bool queried = false;
  {
    const auto exchange = link_.exchange();
    queried = link::SendUartRequest(link_, sizeof kUr74Query, kUr74RecordLength, kUr74Query);
    if (queried) {
      link_.BlinkTx();
    } else {
      controls_.setColor(ctl::Shape_TX, colour::White);
    }
    if (!running()) return;
    sleepMs(500);
    if (!running()) return;
    uint16_t length = 0;
    link::ReadUartReply(link_, &length, reply.data(), reply.size());
  }
  if (!running()) return;
  link_.BlinkRx();
  // Decoded when it begins with "!", whether or not the reply's checksum held.
  DecodeUr74Record(QByteArrayView(reply.data(), reply.size()), controls_, state_, ur74CellCount_);
  if (!running()) return;
  // A query that was not written (a pulled cable) brought nothing new: no line repeats the last values.
  if (queried) WriteMonitorLogLine(log, controls_);
}

void Monitor::PollUr96() {
  FindEventRecords();
  setEnabled(controls_, kCellResistanceButtons, true);
  const std::unique_ptr<MonitorLog> log =
      CreateMonitorLog(controls_.checked(link::ctl::CheckBoxLogFileSave), controls_);
  while (running()) Ur96Cycle(log.get());
}

void Monitor::Ur96Cycle(MonitorLog* log) {
  if (!running()) return;
  std::optional<Ur96Reply> reply;
  bool queried = false;
  {
    const auto exchange = link_.exchange();
    queried = link::SendUr96Query(link_);
    if (!queried) controls_.setColor(ctl::Shape_TX, colour::White);
    // The wait stays when the query was not written (a pulled cable): the loop keeps its pace.
    sleepMs(150);
    if (!running()) return;
    if (queried) reply = ReadUr96Reply(link_, controls_);
  }
  // Decoded once the exchange is over: the decoder reads the capacity table.
  if (reply) DecodeUr96Reply(*reply, controls_, state_);
  const bool recordRead = reply.has_value();
  // The cell voltages come by UR2 requests, and only after a record that passed its tests.
  if (recordRead) {
    if (!running()) return;
    sleepMs(50);
    if (!Ur2Requests(kCellRequests)) return;
  }
  if (!running()) return;
  sleepMs(50);
  exchanged(hooks.PollShippingMode);
  if (controls_.checked(ctl::CheckBoxLastChgDate)) {
    if (!running()) return;
    SearchLastChargeDate(true);
  }
  // A cycle whose query was not written brought nothing new: no line repeats the last values.
  if (queried) WriteMonitorLogLine(log, controls_);
}

void Monitor::PollUr2() {
  if (FindEventRecords()) controls_.setChecked(ctl::CheckBoxLastChgDate, true);
  controls_.setMaximum(ctl::ProgressBarSOC, 100);
  while (running()) Ur2Cycle();
}

void Monitor::Ur2Cycle() {
  if (!running()) return;
  sleepMs(200);
  if (!running()) return;
  sleepMs(100);
  if (!Ur2Requests(kUr2CycleRequests)) return;
  if (!running()) return;
  sleepMs(50);
  if (!Ur2Requests(kCellRequests)) return;
  // EditRTCENG's own visible flag (its group is hidden) decides whether the clock is read.
  if (controls_.visible(ctl::EditRTCENG)) exchanged(hooks.ReadRtc);
  if (!running()) return;
  // Once a kind has been found it stays found for the run, and the barcode is not read again.
  if (!call(hooks.AnyBarcodeKindFound)) {
    for (const auto* reader : {&hooks.ReadBarcode32Eep, &hooks.ReadBarcode32, &hooks.ReadBarcode16}) {
      exchanged(*reader);
      if (!running()) return;
    }
  }
  // The tick stays: the search runs in every cycle until the operator unticks the box.
  if (controls_.checked(ctl::CheckBoxLastChgDate)) {
    if (!running()) return;
    SearchLastChargeDate(false);
  }
}

void Monitor::PollCan() {
  // The end step runs however the loop ends, an exception from a callee included: buttons or a keep-alive left
  // on after the run would borrow a session that is gone.
  //
  // Under the exchange lock, which a CAN command holds from its start to giving its button back: a command
  // running now finishes first, and one starting later finds no run, so none switches a button or the
  // keep-alive on again after this.
  struct EndStep {
    Monitor& m;
    std::optional<link::CanSessionScope>& session;
    ~EndStep() {
      const auto exchange = m.link_.exchange();
      session.reset();
      setEnabled(m.controls_, kCanCommandButtons, false);
      m.controls_.setEnabled(ctl::Timer_300h_ON, false);
    }
  };
  // The CAN commands borrow this run's adapter while it polls.
  std::optional<link::CanSessionScope> session(std::in_place, link_);
  const EndStep end{*this, session};
  StartCan();
  while (running()) CanCycle();
}

void Monitor::StartCan() {
  setEnabled(controls_, kCanCommandButtons, true);
  controls_.setEnabled(ctl::Timer_300h_ON, true);
  clearTexts(controls_, kCanEnergyBoxes);
  {
    const auto exchange = link_.exchange();
    link::CanReceiveDispatch(link_);
  }
  sleepMs(1);

  // The barcode is the capacity table's key on CAN: Barcode32 first, Barcode16 when that brought none. Both
  // reads under one hold of the exchange, so a read button clicked meanwhile waits for them.
  {
    const auto exchange = link_.exchange();
    controls_.setText(ctl::Edit_Barcode32_RW, QString());
    controls_.setItemIndex(ctl::RadioGroupBarcodeSelect, 0);
    call(hooks.CanReadBarcodeWorker);
    if (controls_.text(ctl::Edit_Barcode32_RW).isEmpty()) {
      controls_.setItemIndex(ctl::RadioGroupBarcodeSelect, 1);
      call(hooks.CanReadBarcodeWorker);
    }
  }
  const std::optional<QByteArray> energy =
      LookupCapacity(state_.battery, platform::big5Bytes(controls_.text(ctl::Edit_Barcode32_RW)));
  if (energy) controls_.setText(ctl::Edit_Battery_Capacity_BRCAN, QString::fromLatin1(*energy));
}

void Monitor::CanCycle() {
  if (!running()) return;
  {
    const auto exchange = link_.exchange();
    link::CanReceiveDispatchAll(link_);
  }
  if (!CanRequests(kCanIdentityRequests)) return;
  call(hooks.ResetCanCellCount);
  if (!CanRequests(kCellRequests)) return;
  if (!CanRequests(kCanValueRequests)) return;
  exchanged(hooks.ReadShippingModeCan);
  sleepMs(10);
}

}  // namespace qv::mainwindow
