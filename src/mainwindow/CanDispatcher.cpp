#include "mainwindow/CanDispatcher.h"

#include "link/Bytes.h"
#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "mainwindow/CellSpread.h"

#include "mainwindow/MainFormControls.h"

#include <algorithm>
#include <utility>

namespace qv::mainwindow {

namespace {

namespace msg = link::msg;

using F = CanAckFamily;

// The answer flag bit of each answer header's command and index; any other pair sets nothing.
struct AckBit {
  uint16_t command;
  uint16_t index;
  CanAckFamily family;
  uint8_t bit;
  bool withdraws = false;  // the header clears the bit instead
};
constexpr AckBit kAckBits[] = {
    // clang-format off
    {msg::kBarcode16, 1, F::Barcode16Read, 0x01},     {msg::kBarcode16, 2, F::Barcode16Read, 0x02},
    {msg::kBarcode16Alt, 1, F::Barcode16ReadAlt, 0x01},  {msg::kBarcode16Alt, 2, F::Barcode16ReadAlt, 0x02},
    {msg::kBarcode32, 1, F::Barcode32Read, 0x01},     {msg::kBarcode32, 2, F::Barcode32Read, 0x02},
    {msg::kBarcode32, 3, F::Barcode32Read, 0x04},     {msg::kBarcode32, 4, F::Barcode32Read, 0x08},
    {msg::kShippingMode, 0, F::ShippingModeRead, 0x01},
    {msg::kBarcode16Write, 1, F::Barcode16Write, 0x01},    {msg::kBarcode16Write, 2, F::Barcode16Write, 0x01, true},
    {msg::kBarcode32Write, 1, F::Barcode32Write, 0x01},    {msg::kBarcode32Write, 2, F::Barcode32Write, 0x02},
    {msg::kBarcode32Write, 3, F::Barcode32Write, 0x04},    {msg::kBarcode32Write, 4, F::Barcode32Write, 0x08},
    {msg::kShippingModeSet, 0, F::ShippingModeSet, 0x01},
    {msg::kEepCanRecord, 0x101, F::RecordBlocks12, 0x01}, {msg::kEepCanRecord, 0x102, F::RecordBlocks12, 0x02},
    {msg::kEepCanRecord, 0x103, F::RecordBlocks12, 0x04}, {msg::kEepCanRecord, 0x104, F::RecordBlocks12, 0x08},
    {msg::kEepCanRecord, 0x201, F::RecordBlocks12, 0x10}, {msg::kEepCanRecord, 0x202, F::RecordBlocks12, 0x20},
    {msg::kEepCanRecord, 0x203, F::RecordBlocks12, 0x40}, {msg::kEepCanRecord, 0x204, F::RecordBlocks12, 0x80},
    {msg::kEepCanRecord, 0x301, F::RecordBlock3, 0x01},   {msg::kEepCanRecord, 0x302, F::RecordBlock3, 0x02},
    {msg::kEepCanRecord, 0x303, F::RecordBlock3, 0x04},   {msg::kEepCanRecord, 0x304, F::RecordBlock3, 0x08},
    // clang-format on
};

size_t at(CanAckFamily family) { return static_cast<size_t>(family); }

bool inRange(int value, int low, int high) { return value >= low && value <= high; }

// What every answer data message leaves as the last header: a second one without a new header reaches no
// decoder.
constexpr CanAnswerHeader kSpentHeader{0, 0, {}, 1};

// The parameter index of the wake-up line type, the one parameter box the dispatcher writes.
constexpr uint8_t kWakeUpLineTypeIndex = 1;

}  // namespace

uint8_t CanAckFlags::answered(CanAckFamily family) const {
  std::lock_guard lock(mutex_);
  return answered_[at(family)];
}

uint8_t CanAckFlags::accepted(CanAckFamily family) const {
  std::lock_guard lock(mutex_);
  return accepted_[at(family)];
}

uint8_t CanAckFlags::dataCame(CanAckFamily family) const {
  std::lock_guard lock(mutex_);
  return dataCame_[at(family)];
}

void CanAckFlags::clear(CanAckFamily family) {
  std::lock_guard lock(mutex_);
  answered_[at(family)] = 0;
  accepted_[at(family)] = 0;
  dataCame_[at(family)] = 0;
}

void CanAckFlags::mark(CanAckFamily family, uint8_t bits, uint8_t status) {
  std::lock_guard lock(mutex_);
  answered_[at(family)] |= bits;
  // A new header for the bits: their data is still to come.
  dataCame_[at(family)] &= static_cast<uint8_t>(~bits);
  if (status == 0) {
    accepted_[at(family)] |= bits;
  } else {
    accepted_[at(family)] &= static_cast<uint8_t>(~bits);
  }
}

void CanAckFlags::unmark(CanAckFamily family, uint8_t bits) {
  std::lock_guard lock(mutex_);
  answered_[at(family)] &= static_cast<uint8_t>(~bits);
  accepted_[at(family)] &= static_cast<uint8_t>(~bits);
  dataCame_[at(family)] &= static_cast<uint8_t>(~bits);
}

void CanAckFlags::markData(CanAckFamily family, uint8_t bits) {
  std::lock_guard lock(mutex_);
  dataCame_[at(family)] |= bits;
}

CanDispatcher::CanDispatcher(Controls& controls, MainState& state, PackDispatcher& pack)
    : controls_(controls), state_(state), pack_(pack), decoders_(controls, state) {}

CanAnswerHeader CanDispatcher::lastAnswerHeader() const {
  std::lock_guard lock(mutex_);
  return lastHeader_;
}

void CanDispatcher::ResetCellCount() {
  state_.records.CellVoltArray.with([](CanCellVolts& cells) { cells.nonZeroCount = 0; });
}

void CanDispatcher::addListener(CanDecodedListener* listener) {
  std::lock_guard lock(listenersMutex_);
  listeners_.push_back(listener);
}

void CanDispatcher::DispatchCanFrame(uint8_t messageFlag, uint32_t identifier, const uint8_t data[8],
                                     uint8_t dataLength) {
  bool broadcast = false;
  bool answer = false;
  CanAnswerHeader answered;
  {
    std::lock_guard lock(mutex_);
    if (identifier != link::kCanAnswerData) dropOpenHeader();
    // A broadcast counts only with data and without the message flag; the answers count in any case.
    if (messageFlag == 0 && dataLength != 0 && identifier < link::kCanAnswerHeader) {
      switch (identifier) {
        case link::kCanStatusRegisters: decoders_.ShowCanStatusRegisters(data); break;
        case link::kCanVoltageCurrent: decoders_.ShowCanPackVoltageCurrent(data); break;
        case link::kCanCapacity: decoders_.ShowCanCapacity(data); break;
        case link::kCanHealth: decoders_.ShowCanHealth(data); break;
        case link::kCanParameterAnswer: Dispatch404hFrame(data, dataLength); break;
        default: break;
      }
      broadcast = link::isCanBroadcast(identifier);
    } else if (identifier == link::kCanAnswerHeader) {
      answerHeader(data);
    } else if (identifier == link::kCanAnswerData) {
      answer = answerData(data, &answered);
    }
  }
  if (!broadcast && !answer) return;
  // Told after the decoding, so that what a listener counts never runs ahead of the values shown.
  std::vector<CanDecodedListener*> listeners;
  {
    std::lock_guard lock(listenersMutex_);
    listeners = listeners_;
  }
  for (CanDecodedListener* listener : listeners) {
    if (broadcast) listener->CanBroadcastDecoded(identifier);
    if (answer) listener->CanAnswerDecoded(answered.command, answered.index);
  }
}

void CanDispatcher::CanFramesLost() {
  std::lock_guard lock(mutex_);
  dropOpenHeader();
}

void CanDispatcher::CanRequestGoingOut() {
  std::lock_guard lock(mutex_);
  dropOpenHeader();
}

void CanDispatcher::dropOpenHeader() {
  if (!headerOpen_) return;
  lastHeader_ = kSpentHeader;
  headerOpen_ = false;
}

void CanDispatcher::Dispatch404hFrame(const uint8_t data[8], uint8_t dataLength) {
  if (dataLength != 8) return;
  // Types 0x90 and 0x91 answer parameters that nothing shows.
  if (data[0] != 0x92) return;
  // Byte 1 is the parameter's index: the box shows the wake-up line type (index 1) alone, not whichever
  // parameter answered last.
  if (data[1] == kWakeUpLineTypeIndex) decoders_.ShowWakeUpLineType(data);
  // The parameter window waits for its rows' answers: index d1, value d5.
  if (parameterAnswer_) parameterAnswer_(data[1], data[5]);
}

void CanDispatcher::answerHeader(const uint8_t d[8]) {
  lastHeader_ = CanAnswerHeader{link::be16(d), link::be16(d + 2), {d[4], d[5], d[6]}, d[7]};
  headerOpen_ = true;
  for (const AckBit& ack : kAckBits) {
    if (ack.command != lastHeader_.command || ack.index != lastHeader_.index) continue;
    if (ack.withdraws) {
      ackFlags_.unmark(ack.family, ack.bit);
    } else {
      ackFlags_.mark(ack.family, ack.bit, lastHeader_.status);
    }
  }
}

bool CanDispatcher::answerData(const uint8_t d[8], CanAnswerHeader* answered) {
  if (!headerOpen_) {
    lastHeader_ = kSpentHeader;
    return false;
  }
  headerOpen_ = false;
  *answered = lastHeader_;
  if (lastHeader_.status == 0) {
    for (const AckBit& ack : kAckBits) {
      if (ack.command == lastHeader_.command && ack.index == lastHeader_.index && !ack.withdraws)
        ackFlags_.markData(ack.family, ack.bit);
    }
  }
  const int index = lastHeader_.index;
  switch (lastHeader_.command) {
    case msg::kFirmwareId:
      if (inRange(index, 1, 2)) decoders_.ShowCanModelName(index, d);
      break;
    case msg::kFirmwareVersion:
      if (index == 0) decoders_.ShowCanFwVersion(d);
      break;
    case msg::kPackConfig:
      if (index == 1) decoders_.ShowCanCellConfig(d);
      if (index == 2) decoders_.ShowCanFullChargeCapacity();
      if (index == 4) decoders_.ShowCanDesignVoltage(d);
      if (index == 5) decoders_.ShowCanDesignCapacity(d);
      break;
    case msg::kBarcode16:
      if (inRange(index, 1, 2)) decoders_.ShowCanBarcode16(index, d);
      break;
    case msg::kCellVoltages:
      if (inRange(index, 1, 4)) decoders_.ShowCanCellVolts(index, d);
      showCellSpread();
      break;
    case msg::kTemperatures:
      if (index == 0) pack_.ShowTemperatures(d);
      break;
    case msg::kTotalChargeCapacity:
      if (index == 0) decoders_.ShowCanTotalChargeCapacity(d);
      break;
    case msg::kPackClock:
      if (index == 0) decoders_.ShowCanRtc(d);
      break;
    case msg::kMeasurement1006:
      if (index == 0) pack_.IgnoreMessage1006(d);
      break;
    case msg::kProtectionFlags:
      if (index == 0) pack_.ShowProtectionFlags(d);
      break;
    case msg::kCycleCount:
      if (index == 0) decoders_.ShowCanCycleCount(d);
      break;
    case msg::kRemainCapacity:
      if (index == 0) decoders_.ShowCanRemainCapacity(d);
      break;
    case msg::kBarcode32:
      if (inRange(index, 1, 4)) decoders_.ShowCanBarcode32(index, d);
      break;
    case msg::kShippingMode:
      if (index == 0) decoders_.ShowCanShippingMode(d);
      break;
    case msg::kEepBarcode:
      if (inRange(index, 1, 4)) decoders_.ShowCanBarcode32Eep(index, d);
      break;
    case msg::kEepCanRecord:
      // Index block x 256 + part: blocks 1 to 3 all land in the one protection buffer.
      if (inRange(index >> 8, 1, 3) && inRange(index & 0xFF, 1, 4))
        decoders_.StoreCanEepRecordPart(index >> 8, index & 0xFF, d, lastHeader_.status);
      break;
    default: break;
  }
  lastHeader_ = kSpentHeader;
  return answered->status == 0;
}

void CanDispatcher::showCellSpread() {
  const auto [highest, lowest] = state_.records.CellVoltArray.with([](const CanCellVolts& cells) {
    const int n = std::min<int>(cells.nonZeroCount, CanCellVolts::kCells);
    return std::pair{MaxOfU16(cells.volts.data(), n), MinOfU16(cells.volts.data(), n)};
  });
  ShowCellSpread(controls_, highest, lowest);
}

void CanDispatcher::setParameterAnswer(std::function<void(uint8_t index, uint8_t value)> answer) {
  std::lock_guard lock(mutex_);
  parameterAnswer_ = std::move(answer);
}

void CanDispatcher::setWakeUpLineTypeBox(Control box) {
  std::lock_guard lock(mutex_);
  decoders_.setWakeUpLineTypeBox(box);
}

}  // namespace qv::mainwindow
