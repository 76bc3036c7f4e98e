#include "commands/FixtureCommands.h"

#include "link/AdapterFrames.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace qv::commands {

namespace {

using platform::sleepMs;
namespace c = mainwindow::ctl;

constexpr uint32_t kReadSize = 128;
constexpr int kMinValueLength = 6;  // the channel and a 32-bit value
constexpr int kMinSampleLength = 2 + 2 * kSocSampleCount;
constexpr int kMvPerCell = 2500;
// The system colour of an active window border, for samples above 10000.
constexpr Colour kActiveBorder = 0xFF00000A;

const QString kLinkText = QStringLiteral("  SYS : < LINK >");

constexpr Control kSocButtons[] = {c::SpdBtnChgSW,       c::SpdBtnDsgSW, c::SpdBtnBtyVoltRead, c::SpdBtnDsgVoltRead,
                                   c::SpdBtnChgVoltRead, c::SpdBtnRUN,   c::SpdBtnSOCRead};

// The wait before the open is the worker's own, so that "LINK" goes up between it and the open.
UrCommandShape fixtureShape(const char* worker, std::vector<Control> buttons) {
  return {worker, std::move(buttons), 0, true, 300, true};
}

const UrCommandShape kChgSWShape = fixtureShape("ChgSWWorker", {c::SpdBtnChgSW});
const UrCommandShape kDsgSWShape = fixtureShape("DsgSWWorker", {c::SpdBtnDsgSW});
const UrCommandShape kBtyVoltShape = fixtureShape("BtyVoltReadWorker", {c::SpdBtnBtyVoltRead});
const UrCommandShape kDsgVoltShape = fixtureShape("DsgVoltReadWorker", {c::SpdBtnDsgVoltRead});
const UrCommandShape kChgVoltShape = fixtureShape("ChgVoltReadWorker", {c::SpdBtnChgVoltRead});
// The SOC test's starter takes the other fixture buttons and RUN besides its own; the command set brings them back.
const UrCommandShape kSocStartShape = fixtureShape("SOCReadWorker", {std::begin(kSocButtons), std::end(kSocButtons)});
const UrCommandShape kSocShape = fixtureShape("SOCReadWorker", {c::SpdBtnSOCRead});

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

Control editOf(uint16_t channel) {
  switch (channel) {
    case kFixtureDischargeVolt: return c::EditDsgVolt;
    case kFixtureBatteryVolt: return c::EditBtyVolt;
    case kFixtureChargeVolt: return c::EditChgVolt;
    default: return {};
  }
}

bool readChannel(link::Link& link, uint16_t channel, bool* answered) {
  if (answered != nullptr) *answered = false;
  // The session is this command's own, so nothing in the queue can be this query's answer.
  link.PurgeSerialHandle();
  if (!link::SendAdapterQuery(link, 2, kMinValueLength, channel)) return false;
  sleepMs(100);
  const bool valid = ReadFixtureReply(link, nullptr);
  if (answered != nullptr) *answered = valid;
  return true;
}

QString bar(uint16_t value, Colour colour) {
  return QStringLiteral("%1/0x%2").arg(value).arg(colour, 8, 16, QLatin1Char('0'));
}

Colour rawColour(uint16_t value) {
  if (value <= 1000) return colour::Red;
  if (value <= 10000) return colour::Lime;
  return kActiveBorder;
}

// The discharge voltage against 2500 mV per cell in series; anything that is not a number, a cell count below
// one, or a voltage this read did not bring is NG.
bool dischargeVoltagePasses(const QString& seriesText, const QString& voltText, bool answered) {
  if (!answered) return false;
  long long series = 0;
  long double volt = 0;
  if (!parseInt(seriesText, &series) || !parseDouble(voltText, &volt)) return false;
  if (series < 1 || series > LLONG_MAX / kMvPerCell || !std::isfinite(volt)) return false;
  return std::trunc(volt) >= static_cast<long double>(series * kMvPerCell);
}

}  // namespace

std::optional<FixtureReply> ParseFixtureReply(const uint8_t* bytes, size_t got) {
  if (got < 8 || bytes[0] != 0x55 || bytes[1] != 0xAA) return std::nullopt;
  if (be16(bytes + 2) != link::kFrameFixtureReply) return std::nullopt;
  const size_t length = be16(bytes + 4);
  // The whole frame, terminator included, within what was read.
  if (8 + length > got || bytes[7 + length] != 0x0D) return std::nullopt;
  FixtureReply reply;
  reply.channel = be16(bytes + 6);
  switch (reply.channel) {
    case kFixtureDischargeVolt:
    case kFixtureBatteryVolt:
    case kFixtureChargeVolt:
      if (length < kMinValueLength) return std::nullopt;
      reply.value = static_cast<uint32_t>(bytes[8]) << 24 | static_cast<uint32_t>(bytes[9]) << 16 |
                    static_cast<uint32_t>(bytes[10]) << 8 | bytes[11];
      return reply;
    case kFixtureSocSamples:
      if (length < kMinSampleLength) return std::nullopt;
      std::copy_n(bytes + 8, reply.samples.size(), reply.samples.begin());
      return reply;
    default: return std::nullopt;
  }
}

bool SetFixtureSwitch(link::Link& link, uint8_t path, bool on) {
  const uint8_t payload[3] = {0x00, path, static_cast<uint8_t>(on ? 2 : 1)};
  return link::SendAdapterFrame(link, link::kFrameFixtureSwitch, 3, payload, 3);
}

bool ReadFixtureReply(link::Link& link, SocSampleBytes* samples) {
  std::array<uint8_t, 1024> rx{};
  uint32_t got = 0;
  if (!link::ReadAdapterBytes(link, rx.data(), kReadSize, &got)) {
    link.controls.setColor(link.mainWindow.rxLamp, colour::White);
    return false;
  }
  const std::optional<FixtureReply> reply = ParseFixtureReply(rx.data(), std::min<size_t>(got, kReadSize));
  if (!reply) return false;
  if (reply->channel == kFixtureSocSamples) {
    if (samples != nullptr) *samples = reply->samples;
  } else {
    link.controls.setText(editOf(reply->channel), QString::number(reply->value));
  }
  return true;
}

bool ReadFixtureDsgVolt(link::Link& link, bool* answered) { return readChannel(link, kFixtureDischargeVolt, answered); }
bool ReadFixtureBtyVolt(link::Link& link, bool* answered) { return readChannel(link, kFixtureBatteryVolt, answered); }
bool ReadFixtureChgVolt(link::Link& link, bool* answered) { return readChannel(link, kFixtureChargeVolt, answered); }

QString SocVoltText(uint32_t meanMv) {
  const uint32_t centivolts = (meanMv + 5) / 10;
  return QStringLiteral("%1.%2").arg(centivolts / 100).arg(centivolts % 100, 2, 10, QLatin1Char('0'));
}

bool TestSocIndicatorVoltage(link::Link& link, const FixtureReportLabels& report) {
  Controls& controls = link.controls;
  link.PurgeSerialHandle();
  if (!link::SendAdapterQuery(link, 2, kMinSampleLength, kFixtureSocSamples)) return false;
  sleepMs(100);
  SocSampleBytes bytes{};
  if (!ReadFixtureReply(link, &bytes)) return false;

  std::array<uint16_t, kSocSampleCount> s{};
  for (int i = 0; i < kSocSampleCount; ++i) s[static_cast<size_t>(i)] = be16(bytes.data() + 2 * i);

  QStringList bars;
  for (uint16_t v : s) bars << bar(v, rawColour(v));
  controls.setItems(c::Chart1, bars);

  std::array<uint16_t, kSocSampleCount> t = s;
  std::sort(t.begin(), t.end());
  if (!(t[0] <= 100 || t[2] >= 300)) return true;

  bars.clear();
  bars << bar(t[0], colour::Red);
  uint32_t sum = 0;
  if (std::abs(static_cast<int32_t>(t[1]) - static_cast<int32_t>(t[2])) < 200) {
    for (size_t i = 1; i <= 9; ++i) {
      sum += t[i];
      bars << bar(t[i], colour::Lime);
    }
    bars << bar(t[10], colour::Blue);
  } else {
    for (size_t i = 2; i <= 10; ++i) {
      sum += t[i];
      bars << bar(t[i], colour::Lime);
    }
    bars << bar(t[1], colour::Blue);
  }
  controls.setItems(c::Chart1, bars);

  const QString volt = SocVoltText(sum / 9);
  controls.setText(c::EditSOCVolt, volt);
  if (!report.socVolt.none()) controls.setText(report.socVolt, volt + QStringLiteral(" V"));

  bool answered = false;
  ReadFixtureDsgVolt(link, &answered);

  if (report.dsgVolt.none() || report.resultDsgVolt.none()) return true;
  const QString series = controls.text(c::EditCellSeries);
  const QString dsgVolt = controls.text(c::EditDsgVolt);
  if (series.isEmpty() || controls.text(report.dsgVolt).isEmpty() || dsgVolt.isEmpty()) return true;
  controls.setText(report.resultDsgVolt,
                   dischargeVoltagePasses(series, dsgVolt, answered) ? QStringLiteral("PASS") : QStringLiteral("NG"));
  return true;
}

FixtureCommands::FixtureCommands(link::Link& link, UrCommandRunner::StartWorker start)
    : link_(link), controls_(link.controls), runner_(link, std::move(start)) {}

void FixtureCommands::SpdBtnChgSWClick() {
  runner_.Start(kChgSWShape, [this] { switchWorker(kChgSWShape, 1); });
}
void FixtureCommands::SpdBtnDsgSWClick() {
  runner_.Start(kDsgSWShape, [this] { switchWorker(kDsgSWShape, 2); });
}
void FixtureCommands::SpdBtnBtyVoltReadClick() {
  runner_.Start(kBtyVoltShape, [this] { readWorker(kBtyVoltShape, &ReadFixtureBtyVolt); });
}
void FixtureCommands::SpdBtnDsgVoltReadClick() {
  runner_.Start(kDsgVoltShape, [this] { readWorker(kDsgVoltShape, &ReadFixtureDsgVolt); });
}
void FixtureCommands::SpdBtnChgVoltReadClick() {
  runner_.Start(kChgVoltShape, [this] { readWorker(kChgVoltShape, &ReadFixtureChgVolt); });
}
void FixtureCommands::SpdBtnSOCReadClick() {
  runner_.Start(kSocStartShape, [this] { socWorker(); });
}

void FixtureCommands::switchWorker(const UrCommandShape& shape, uint8_t path) {
  sleepMs(100);
  controls_.setPanel(c::StatusBarView, 0, kLinkText);
  const Control button = shape.buttons.front();
  runner_.Run(shape, [this, button, path](link::Link& link) {
    // The caption is the only memory of the path's state: "ON" offers to switch on.
    const bool on = controls_.text(button) == QLatin1String("ON");
    if (SetFixtureSwitch(link, path, on)) controls_.setText(button, on ? QStringLiteral("OFF") : QStringLiteral("ON"));
  });
}

void FixtureCommands::readWorker(const UrCommandShape& shape, bool (*read)(link::Link&, bool*)) {
  sleepMs(100);
  controls_.setPanel(c::StatusBarView, 0, kLinkText);
  runner_.Run(shape, [read](link::Link& link) { read(link, nullptr); });
}

void FixtureCommands::socWorker() {
  sleepMs(100);
  controls_.setPanel(c::StatusBarView, 0, kLinkText);
  runner_.Run(kSocShape, [this](link::Link& link) { TestSocIndicatorVoltage(link, report_); });
}

}  // namespace qv::commands
