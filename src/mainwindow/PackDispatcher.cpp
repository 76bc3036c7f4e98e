#include "mainwindow/PackDispatcher.h"

#include "link/Bytes.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace qv::mainwindow {

namespace {

namespace msg = link::msg;

// Word i of the data bytes: bytes 2i and 2i+1, the first the more significant.
uint16_t word(const uint8_t data[8], int i) { return link::be16(data + 2 * i); }

// The data bytes as 8-bit characters up to the first zero, at most eight.
QString text8(const uint8_t data[8]) { return QString::fromLatin1(link::fieldText(data, 8)); }

}  // namespace

PackDispatcher::PackDispatcher(Controls& controls, MainState& state) : controls_(controls), state_(state) {}

void PackDispatcher::addListener(PackMessageListener* listener) {
  std::lock_guard lock(listenersMutex_);
  listeners_.push_back(listener);
}

void PackDispatcher::DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) {
  show(id, index, data);
  std::vector<PackMessageListener*> listeners;
  {
    std::lock_guard lock(listenersMutex_);
    listeners = listeners_;
  }
  for (PackMessageListener* listener : listeners) listener->HandlePackMessage(id, index, data);
}

void PackDispatcher::show(uint16_t id, uint16_t index, const uint8_t data[8]) {
  assembleBarcode(id, index, data);
  switch (id) {
    case msg::kFirmwareId:
      if (index == 2) ShowFirmwareId(data);
      break;
    case msg::kFirmwareVersion:
      if (index == 0) ShowFirmwareVersion(data);
      break;
    case msg::kPackConfig:
      if (index == 2) ShowFullChargeCapacity(data);
      if (index == 1) ShowCellConfig(data);
      break;
    case msg::kTotalChargeCapacity:
      if (index == 0) ShowTotalChargeCapacity(data);
      break;
    case msg::kMeasurement1006:
      if (index == 0) IgnoreMessage1006(data);
      break;
    case msg::kTemperatures:
      if (index == 0) ShowTemperatures(data);
      break;
    case msg::kProtectionFlags:
      if (index == 0) ShowProtectionFlags(data);
      break;
    case msg::kCellVoltages:
      // Four cells per index; index 4 carries cell 13 alone.
      if (index >= 1 && index <= 3) showCells(4 * index - 3, 4, data);
      if (index == 4) showCells(kCells, 1, data);
      break;
    case msg::kPackClock:
      if (index == 0) showClock(data);
      break;
    case msg::kCellResistance:
      if (index >= 1 && index <= kCells)
        controls_.setText(ctl::kCellResistanceEdits[static_cast<size_t>(index - 1)], QString::number(word(data, 0)));
      break;
    case msg::kSerialNumber: controls_.setText(ctl::EditPDSN, text8(data)); break;
    case msg::kShippingMode:
      if (index == 0) showShippingMode((data[0] & 0x01) != 0);
      break;
    default: break;
  }
}

// The barcode builds up part by part: index 1 starts it, the next ones extend it. Shown only once its last part
// came: a reading that lost a part, or a late part of another reading, must not show a text spliced from
// several answers or grown past the field's 32 characters.
void PackDispatcher::assembleBarcode(uint16_t id, uint16_t index, const uint8_t data[8]) {
  const bool barcode = id == msg::kBarcode32 || id == msg::kEepBarcode || id == msg::kBarcode16Alt;
  const uint16_t parts = id == msg::kBarcode16Alt ? 2 : 4;
  QByteArray whole;
  bool complete = false;
  {
    std::lock_guard lock(barcodeMutex_);
    if (barcode && index == 1) {
      barcode_ = {id, 2, link::fieldText(data, 8)};
    } else if (barcode && barcode_.next != 0 && id == barcode_.message && index == barcode_.next) {
      barcode_.text += link::fieldText(data, 8);
      ++barcode_.next;
    } else {
      barcode_ = {};
    }
    if (barcode_.next > parts) {
      whole = barcode_.text;
      complete = true;
      barcode_ = {};
    }
  }
  if (complete) controls_.setText(ctl::EditBarCode32, QString::fromLatin1(whole));
}

void PackDispatcher::PackRequestGoingOut(uint16_t id, uint16_t index) {
  if (index != 1 || (id != msg::kBarcode32 && id != msg::kEepBarcode && id != msg::kBarcode16Alt)) return;
  std::lock_guard lock(barcodeMutex_);
  barcode_ = {};
}

// The UR2 pack answers (0x0001, 2) with its whole id in every poll cycle, and no UR request asks for index 1,
// which is what starts the id afresh over CAN. Appending would repeat the id once per cycle until the text is
// full; so on UR2 each answer is the id, and the text is set from it.
void PackDispatcher::ShowFirmwareId(const uint8_t data[8]) {
  state_.firmwareIdText.set(link::fieldText(data, 8));
  controls_.setText(ctl::EditFWID, QString::fromLatin1(state_.firmwareIdText.text()));
}

void PackDispatcher::ShowFirmwareVersion(const uint8_t data[8]) {
  controls_.setText(ctl::EditFWVer, QString::asprintf("%02X.%02X", data[0], data[1]));
}

void PackDispatcher::ShowFullChargeCapacity(const uint8_t data[8]) {
  controls_.setText(ctl::EditFCC, QString::number(word(data, 3)));
}

void PackDispatcher::ShowCellConfig(const uint8_t data[8]) {
  controls_.setText(ctl::EditCellSeries, QString::number(data[0]));
  controls_.setText(ctl::EditCellParallel, QString::number(data[1]));
}

void PackDispatcher::ShowTotalChargeCapacity(const uint8_t data[8]) {
  uint64_t total = 0;
  for (int i = 0; i < 8; ++i) total = total << 8 | data[i];
  controls_.setText(ctl::EditTCC, QString::number(total));
}

void PackDispatcher::IgnoreMessage1006(const uint8_t data[8]) { (void)data; }

void PackDispatcher::ShowTemperatures(const uint8_t data[8]) {
  controls_.setText(ctl::EditT1, QString::number(static_cast<int8_t>(data[0])));
  controls_.setText(ctl::EditT2, QString::number(static_cast<int8_t>(data[1])));
}

void PackDispatcher::ShowProtectionFlags(const uint8_t data[8]) {
  struct FlagBox {
    Control name;
    int byte;
    uint8_t mask;
  };
  static constexpr std::array<FlagBox, 6> kBoxes{{
      {ctl::EditOVF, 0, 0x01},
      {ctl::EditUVF, 0, 0x02},
      {ctl::EditOCF, 0, 0x0C},
      {ctl::EditOTF, 0, 0x30},
      {ctl::EditUTF, 0, 0xC0},
      {ctl::EditSCF, 1, 0x01},
  }};
  for (const FlagBox& box : kBoxes) {
    controls_.setColor(box.name, (data[box.byte] & box.mask) != 0 ? colour::Red : colour::White);
  }
}

void PackDispatcher::showCells(int first, int count, const uint8_t data[8]) {
  for (int i = 0; i < count; ++i) {
    controls_.setText(ctl::kCellEdits[static_cast<size_t>(first + i - 1)], QString::number(word(data, i)));
  }
  // The series count comes back from its box; a non-number counts as none, and no count reaches past the
  // cells the pack reports.
  long long series = 0;
  boxInt(controls_, ctl::EditCellSeries, &series);
  const auto n = static_cast<uint32_t>(std::clamp<long long>(series, 0, kCells));

  const auto [highest, lowest] = state_.report.with([&](ReportRecord& report) {
    for (int i = 0; i < count; ++i) report.cellVoltages[static_cast<size_t>(first - 1 + i)] = word(data, i);
    return std::pair{static_cast<uint16_t>(MaxOfU32(report.cellVoltages.data(), n)),
                     static_cast<uint16_t>(MinOfU32(report.cellVoltages.data(), n))};
  });
  ShowCellSpread(controls_, highest, lowest);
}

void PackDispatcher::showClock(const uint8_t data[8]) {
  const uint8_t month = data[1];
  const uint8_t day = data[2];
  if (month < 1 || month > 12 || day < 1 || day > 31) return;
  const auto n = [&](int i) { return QString::number(data[i]); };
  controls_.setText(ctl::EditRTC, " " + QString::number(data[0] + 2000) + "." + n(1) + "." + n(2) + "   " + n(3) + ":" +
                                      n(4) + ":" + n(5));
  controls_.setText(ctl::EditRTCENG, controls_.text(ctl::EditRTC));
}

void PackDispatcher::showShippingMode(bool enabled) {
  if (enabled) {
    controls_.setChecked(ctl::CheckBoxSippingMode, true);
    controls_.setText(ctl::CheckBoxSippingMode, "Enabled");
    controls_.setChecked(ctl::CheckBoxShippingModeReadOnly, true);
    controls_.setText(ctl::CheckBoxShippingModeReadOnly, "Enabled");
  } else {
    controls_.setChecked(ctl::CheckBoxShippingModeReadOnly, false);
    controls_.setText(ctl::CheckBoxShippingModeReadOnly, "Disabled");
    controls_.setChecked(ctl::CheckBoxSippingMode, false);
    controls_.setText(ctl::CheckBoxSippingMode, "Disabled");
  }
}

}  // namespace qv::mainwindow
