#pragma once
// The test fixture that holds the adapter on the production line: it switches the pack's charge and discharge
// paths (adapter frame 0x011A, no answer) and measures voltages itself (query 0x0118, answer 0x0119), without
// the pack. The six buttons of the ENG2 page's "VESK Function" group run in the UR command shape: each opens the
// adapter for its own exchange, under the exchange lock, on a worker.
//
// The SOC-indicator test averages eleven samples of channel 6, draws them on Chart1, shows the mean in
// EditSOCVolt and judges the discharge voltage against 2500 mV per cell in series. Its result labels belong to
// the diagnosis report window, whose names the composition hands in (setReportLabels); the report read runs
// the test and the voltage reads itself, on the adapter it holds open.

#include "commands/UrCommand.h"
#include "link/Link.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qv::commands {

// Fixture channels.
enum : uint16_t {
  kFixtureDischargeVolt = 3,
  kFixtureBatteryVolt = 4,
  kFixtureChargeVolt = 5,
  kFixtureSocSamples = 6,
};

constexpr int kSocSampleCount = 11;
using SocSampleBytes = std::array<uint8_t, 2 * kSocSampleCount>;

// One measurement answer as read: 55 AA 01 19, L, the channel, L - 2 data bytes, CHK, 0D at byte 7 + L.
struct FixtureReply {
  uint16_t channel = 0;
  uint32_t value = 0;        // channels 3 to 5: bytes 8 to 11, big-endian
  SocSampleBytes samples{};  // channel 6: bytes 8 to 29
};

// The answer held in the first `got` bytes, when it is one: the whole frame lies within those bytes, its
// terminator is 0D, and L covers what its channel carries (6 for channels 3 to 5, 24 for channel 6). The
// checksum is not examined. Nothing past `got` is read.
std::optional<FixtureReply> ParseFixtureReply(const uint8_t* bytes, size_t got);

// The exchanges, on an adapter the caller holds open with the exchange lock held.
// One switch command: path 1 charge, 2 discharge; on or off. True when the frame was written.
bool SetFixtureSwitch(link::Link& link, uint8_t path, bool on);
// One driver read of up to 128 bytes taken as a measurement answer. A failed read whitens the RX lamp. Channels 3
// to 5 show their value in their edit box; channel 6 hands its 22 data bytes to *samples. True when valid.
bool ReadFixtureReply(link::Link& link, SocSampleBytes* samples);
// The query of channel 3, 4 or 5, 100 ms, the answer into its edit box. True when the query was written;
// *answered tells whether a valid answer came.
bool ReadFixtureDsgVolt(link::Link& link, bool* answered = nullptr);
bool ReadFixtureBtyVolt(link::Link& link, bool* answered = nullptr);
bool ReadFixtureChgVolt(link::Link& link, bool* answered = nullptr);

// What the SOC-indicator test writes in the diagnosis report window; a name left empty is not written.
struct FixtureReportLabels {
  Control socVolt;        // LabelTestSOCVolt: the mean with " V"
  Control dsgVolt;        // LabelTestDsgVolt: must hold text for a verdict
  Control resultDsgVolt;  // LabelTestResultDsgVolt: "PASS" or "NG"
};

// The SOC-indicator test on an open adapter: true when the channel 6 answer was read.
bool TestSocIndicatorVoltage(link::Link& link, const FixtureReportLabels& report);

// The mean of the nine samples the test keeps, in millivolts, as EditSOCVolt shows it: rounded half up to
// hundredths of a volt, two decimals ("3.70").
QString SocVoltText(uint32_t meanMv);

class FixtureCommands {
 public:
  explicit FixtureCommands(link::Link& link, UrCommandRunner::StartWorker start = {});

  void setReportLabels(const FixtureReportLabels& labels) { report_ = labels; }
  const FixtureReportLabels& reportLabels() const { return report_; }

  // The click handlers, on the GUI thread: each starts its worker.
  void SpdBtnChgSWClick();
  void SpdBtnDsgSWClick();
  void SpdBtnBtyVoltReadClick();
  void SpdBtnDsgVoltReadClick();
  void SpdBtnChgVoltReadClick();
  void SpdBtnSOCReadClick();

 private:
  void switchWorker(const UrCommandShape& shape, uint8_t path);
  void readWorker(const UrCommandShape& shape, bool (*read)(link::Link&, bool*));
  void socWorker();

  link::Link& link_;
  Controls& controls_;
  UrCommandRunner runner_;
  FixtureReportLabels report_;
};

}  // namespace qv::commands
