#include "sim/Ur2Pack.h"

#include "sim/Bytes.h"

#include <algorithm>

namespace qv::sim {

namespace {

constexpr int kFrameSize = 13;

uint8_t xorOf(const uint8_t* bytes, int n) {
  uint8_t x = 0;
  for (int i = 0; i < n; ++i) x ^= bytes[i];
  return x;
}

}  // namespace

Ur2Pack::Ur2Pack(Ur2PackState state) : state_(std::move(state)) {}

Ur2PackState Ur2Pack::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Ur2Pack::setState(const Ur2PackState& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

Ur2Faults Ur2Pack::faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void Ur2Pack::setFaults(const Ur2Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

QByteArray Ur2Pack::frame(uint8_t kind, const Bytes8& message) const {
  uint8_t f[kFrameSize] = {0x40, 0x00, kind};
  std::copy(message.begin(), message.end(), f + 3);
  f[11] = static_cast<uint8_t>(xorOf(f, 11) ^ (faults_.badCheck ? 0xA5 : 0x00));
  f[12] = 0x0D;
  return QByteArray(reinterpret_cast<const char*>(f), kFrameSize);
}

uint8_t Ur2Pack::statusOf(uint16_t id, uint16_t index) {
  const bool refused = (faults_.refused == 0 || faults_.refused == id) &&
                       (faults_.refusedIndex < 0 || faults_.refusedIndex == index);
  if (!refused || faults_.status == 0 || faults_.refusals == 0) return 0;
  if (faults_.refusals > 0) --faults_.refusals;
  return faults_.status;
}

QByteArray Ur2Pack::header(uint16_t id, uint16_t index, uint8_t status) const {
  return frame(3, {static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), static_cast<uint8_t>(index >> 8),
                   static_cast<uint8_t>(index), 0, 0, 0, status});
}

std::vector<QByteArray> Ur2Pack::answer(const QByteArray& payload, uint16_t expected) {
  (void)expected;
  if (std::vector<QByteArray> boot; bootloader_->take(payload, &boot)) return boot;
  std::lock_guard lock(mutex_);
  const auto* f = reinterpret_cast<const uint8_t*>(payload.constData());
  const bool frameHolds = payload.size() == kFrameSize && f[0] == 0x40 && f[1] == 0x00 && f[11] == xorOf(f, 11) &&
                          f[12] == 0x0D;
  if (faults_.lostFrames > 0) {
    --faults_.lostFrames;
    return {};
  }
  if (faults_.silent || !frameHolds || (faults_.silentAsleep && state_.sleptOn != 0)) return {};
  const uint8_t kind = f[2];
  Bytes8 message;
  std::copy(f + 3, f + 11, message.begin());
  const auto id = static_cast<uint16_t>(f[3] << 8 | f[4]);
  const auto index = static_cast<uint16_t>(f[5] << 8 | f[6]);

  std::vector<QByteArray> out;
  if (kind == 1 && (id == 0x4205 || id == 0x4206)) {
    state_.sleptOn = id;  // asleep at once: no answer
    writePending_ = false;
  } else if (kind == 1) {
    writePending_ = f[10] > 0;
    writeId_ = id;
    writeIndex_ = index;
    Bytes8 data{};
    const uint32_t value = uint32_t{f[7]} << 16 | uint32_t{f[8]} << 8 | f[9];
    const bool silentItem = state_.eeprom.silentItems.count({id, index}) != 0;
    if (!writePending_ && !silentItem &&
        (readData(id, index, &data) || readEepromData(state_.eeprom, id, index, value, &data)))
      out = {header(id, index, statusOf(id, index)), frame(4, data)};
  } else if (kind == 2 && writePending_) {
    writePending_ = false;
    const uint8_t status = statusOf(writeId_, writeIndex_);
    if (status == 0) applyWrite(writeId_, writeIndex_, message);  // a refused write changes nothing
    out = {header(writeId_, writeIndex_, status)};
  }
  return out;
}

bool Ur2Pack::readData(uint16_t id, uint16_t index, Bytes8* out) const {
  const Ur2PackState& s = state_;
  Bytes8& d = *out;
  const auto putWord = [&](int i, uint16_t w) { putBigEndian(d.data() + 2 * i, w, 2); };
  switch (id) {
    case 0x0001:
      if (index != 2) return false;
      d = eightBytes(s.firmwareId.left(8), 0);
      return true;
    case 0x0005:
      if (index != 0) return false;
      d[0] = s.version[0];
      d[1] = s.version[1];
      return true;
    case 0x0009:
      if (index == 1) {
        d[0] = s.cellsInSeries;
        d[1] = s.cellsInParallel;
        return true;
      }
      if (index == 2) {
        putWord(3, s.fullChargeCapacity);
        return true;
      }
      return false;
    case 0x1001:
      if (index < 1 || index > 4) return false;
      for (int i = 0; i < 4; ++i) {
        const int cell = 4 * (index - 1) + i;
        if (cell < static_cast<int>(s.cells.size())) putWord(i, s.cells[static_cast<size_t>(cell)]);
      }
      return true;
    case 0x1002:
    case 0x1006: return index == 0;
    case 0x1003:
      if (index != 0) return false;
      d[0] = static_cast<uint8_t>(s.t1);
      d[1] = static_cast<uint8_t>(s.t2);
      return true;
    case 0x1004:
      if (index != 0) return false;
      putBigEndian(d.data(), s.totalChargeCapacity, 8);
      return true;
    case 0x1005:
      if (index != 0) return false;
      std::copy(s.clock.begin(), s.clock.end(), d.begin());
      return true;
    case 0x1007:
      if (index != 0) return false;
      d[0] = s.protectionFlags;
      d[1] = s.shortCircuitFlag;
      return true;
    case 0x2001:
      if (index != 1) return false;
      d = eightBytes(s.serial.left(8), 0);
      return true;
    case 0x200B:
      if (index != 0) return false;
      d[0] = s.shippingMode ? 1 : 0;
      return true;
    case 0x200A:
    case 0x6207:
      if (!(id == 0x200A ? s.answersBarcode32 : s.answersBarcode32Eep) || index < 1 || index > 4) return false;
      d = eightBytes(s.barcode32, 8 * (index - 1));
      return true;
    case 0x2008:
    case 0x000A:
      if (!(id == 0x2008 ? s.answersBarcode16 : s.answersBarcode16First) || index < 1 || index > 2) return false;
      d = eightBytes(s.barcode16, 8 * (index - 1));
      return true;
    default: return false;
  }
}

void Ur2Pack::applyWrite(uint16_t id, uint16_t index, const Bytes8& data) {
  Ur2PackState& s = state_;
  switch (id) {
    case 0x4001:
      s.serial = QByteArray(reinterpret_cast<const char*>(data.data()),
                            static_cast<int>(qstrnlen(reinterpret_cast<const char*>(data.data()), 8)));
      break;
    case 0x4006: std::copy(data.begin(), data.begin() + 6, s.clock.begin()); break;
    case 0x4209: s.shippingMode = (data[0] & 0x01) != 0; break;
    case 0x4009:
    case 0x6207:
      if (index >= 1 && index <= 4) setEightBytes(s.barcode32, 8 * (index - 1), data.data());
      break;
    case 0x4008:
      if (index >= 1 && index <= 2) setEightBytes(s.barcode16, 8 * (index - 1), data.data());
      break;
    case 0x4103:
      if (data[0] == 1) ++s.eepromErases;
      break;
    default: break;  // acknowledged, nothing kept
  }
}

}  // namespace qv::sim
