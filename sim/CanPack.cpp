#include "sim/CanPack.h"

#include "sim/Bytes.h"
#include "sim/CanRecords.h"

#include <algorithm>

namespace qv::sim {
namespace {

enum : uint32_t {
  kStatusRegisters = 0x400,
  kVoltageCurrent = 0x401,
  kCapacity = 0x402,
  kHealth = 0x403,
  kKeepAlive = 0x300,
  kParameterRequest = 0x304,
  kParameterAnswer = 0x404,
  kRequest = 0x440,
  kRequestData = 0x441,
  kAnswerHeader = 0x442,
  kAnswerData = 0x443,
};

constexpr uint8_t kRefused = 0x01;  // the status of a request the pack does not know

// Whether a fault's command and index (kAnyIndex: every index) single out the request.
bool matches(uint16_t command, uint16_t index, uint16_t asked, uint16_t askedIndex) {
  return command == asked && (index == CanPack::kAnyIndex || index == askedIndex);
}

void le16(uint8_t* p, uint16_t v) { putLittleEndian(p, v, 2); }
void le32(uint8_t* p, uint32_t v) { putLittleEndian(p, v, 4); }
void be16(uint8_t* p, uint16_t v) { putBigEndian(p, v, 2); }
void be32(uint8_t* p, uint32_t v) { putBigEndian(p, v, 4); }

// Part p (1-based) of a text, eight characters, zero-filled; false for a part beyond `parts`.
bool textPart(const QByteArray& text, uint16_t p, uint16_t parts, uint8_t out[8]) {
  if (p < 1 || p > parts) return false;
  const std::array<uint8_t, 8> piece = eightBytes(text, 8 * (p - 1));
  std::copy(piece.begin(), piece.end(), out);
  return true;
}

bool setTextPart(QByteArray& text, uint16_t p, uint16_t parts, const uint8_t data[8]) {
  if (p < 1 || p > parts) return false;
  setEightBytes(text, 8 * (p - 1), data);
  return true;
}

}  // namespace

CanPack::CanPack(const CanPackState& state, int64_t broadcastPeriodMs) : state_(state), periodMs_(broadcastPeriodMs) {}

CanPackState CanPack::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void CanPack::setState(const CanPackState& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

void CanPack::setFaults(const CanPackFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

void CanPack::setBroadcastPeriod(int64_t ms) {
  std::lock_guard lock(mutex_);
  periodMs_ = ms;
}

int64_t CanPack::framesSent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

CanKeepAlives CanPack::keepAlives() const {
  std::lock_guard lock(mutex_);
  return keepAlives_;
}

void CanPack::put(std::vector<CanFrame>& out, uint32_t id, const uint8_t data[8]) {
  if (lateByMs_ > 0) {
    Delayed d{nowMs_ + lateByMs_, id, {}};
    std::copy(data, data + 8, d.data.begin());
    // Kept in due order; answers due at the same time keep their order.
    const auto at = std::upper_bound(delayed_.begin(), delayed_.end(), d.dueMs,
                                     [](int64_t due, const Delayed& e) { return due < e.dueMs; });
    delayed_.insert(at, d);
    return;
  }
  CanFrame f;
  f.id = id;
  std::copy(data, data + 8, f.data);
  out.push_back(f);
  ++sent_;
}

void CanPack::tick(int64_t nowMs, std::vector<CanFrame>& out) {
  std::lock_guard lock(mutex_);
  nowMs_ = nowMs;
  while (!delayed_.empty() && delayed_.front().dueMs <= nowMs) {
    const Delayed d = delayed_.front();
    delayed_.erase(delayed_.begin());
    put(out, d.id, d.data.data());
  }
  if (!(awake_ || faults_.busyBus) || periodMs_ <= 0 || nowMs < nextRoundMs_) return;
  int rounds = 1;
  if (faults_.busyBus) {
    if (nextRoundMs_ == 0) nextRoundMs_ = nowMs;  // the first look starts the bus's clock
    rounds = static_cast<int>(std::min<int64_t>((nowMs - nextRoundMs_) / periodMs_ + 1, kMaxMadeUpRounds));
    nextRoundMs_ += rounds * periodMs_;  // still behind after a long pause: the next look makes up more
  } else {
    nextRoundMs_ = std::max(nextRoundMs_ + periodMs_, nowMs);
  }
  uint8_t status[8] = {}, power[8] = {}, capacity[8] = {}, health[8] = {};
  le16(status, state_.commandRegister);
  le16(status + 2, state_.statusRegister);
  le32(power, state_.packVoltage);
  le32(power + 4, static_cast<uint32_t>(state_.packCurrent));
  le32(capacity, state_.rsoc);
  le32(capacity + 4, state_.energy);
  le16(health, state_.soh);
  le32(health + 4, state_.sohEnergy);
  for (int i = 0; i < std::max(faults_.burst, 1) * rounds; ++i) {
    put(out, kStatusRegisters, status);
    put(out, kVoltageCurrent, power);
    put(out, kCapacity, capacity);
    put(out, kHealth, health);
  }
}

void CanPack::receive(const CanFrame& frame, std::vector<CanFrame>& out) {
  std::lock_guard lock(mutex_);
  awake_ = true;
  if (frame.ext || frame.flag) return;
  const uint8_t* d = frame.data;
  if (frame.id == kKeepAlive) {
    static constexpr uint8_t kKeepAliveData[8] = {0x01, 0x5A, 0x00, 0x5A, 0x00, 0x00, 0x00, 0x00};
    keepAlives_.atMs.push_back(nowMs_);
    if (frame.length != 8 || !std::equal(d, d + 8, kKeepAliveData)) ++keepAlives_.malformed;
    return;
  }
  if (frame.id == kRequest) {
    const Request r{static_cast<uint16_t>(d[0] << 8 | d[1]), static_cast<uint16_t>(d[2] << 8 | d[3]), d[7]};
    pending_ = r.value > 0;
    if (pending_) {
      request_ = r;
    } else {
      const uint8_t none[8] = {};
      answer(r, none, out);
    }
  } else if (frame.id == kRequestData && pending_) {
    pending_ = false;
    answer(request_, d, out);
  } else if (frame.id == kParameterRequest) {
    answerParameter(d, out);
  }
}

void CanPack::answerParameter(const uint8_t request[8], std::vector<CanFrame>& out) {
  if (faults_.silent) return;
  const auto value = state_.parameters.find(request[1]);
  if (value == state_.parameters.end()) return;
  const std::array<uint8_t, 8> data = EncodeParameterAnswer(request[0], request[1], value->second);
  put(out, kParameterAnswer, data.data());
}

bool CanPack::unanswered(const Request& r) const {
  return std::any_of(faults_.unanswered.begin(), faults_.unanswered.end(),
                     [&](const auto& pair) { return matches(pair.first, pair.second, r.command, r.index); });
}

uint8_t CanPack::refusal(const Request& r) {
  refusedWithData_ = false;
  for (CanPackRefusal& f : faults_.refused) {
    if (!matches(f.command, f.index, r.command, r.index) || f.times == 0) continue;
    if (f.times > 0) --f.times;
    refusedWithData_ = f.withData;
    return f.status == 0 ? kRefused : f.status;
  }
  return 0;
}

int64_t CanPack::lateBy(const Request& r) const {
  for (const CanPackLateAnswer& f : faults_.late) {
    if (matches(f.command, f.index, r.command, r.index)) return f.delayMs;
  }
  return 0;
}

void CanPack::answer(const Request& r, const uint8_t* data, std::vector<CanFrame>& out) {
  if (faults_.silent || unanswered(r)) return;
  uint8_t value[8] = {};
  const bool read = r.value == 0 && readValue(r.command, r.index, value);
  uint8_t status = faults_.status;
  refusedWithData_ = false;
  if (status == 0) status = refusal(r);
  if (!read && status == 0 && !write(r.command, r.index, data)) status = kRefused;
  lateByMs_ = lateBy(r);
  uint8_t header[8] = {};
  be16(header, r.command);
  be16(header + 2, r.index);
  header[7] = status;
  put(out, kAnswerHeader, header);
  if (read && (status == 0 || refusedWithData_)) put(out, kAnswerData, value);
  lateByMs_ = 0;
}

bool CanPack::readValue(uint16_t command, uint16_t index, uint8_t v[8]) const {
  const CanPackState& s = state_;
  switch (command) {
    case 0x0001: return textPart(s.modelName, index, 2, v);
    case 0x0005:
      v[0] = s.fwMajor;
      v[1] = s.fwMinor;
      return index == 0;
    case 0x0009:
      switch (index) {
        case 1:
          v[0] = s.cellsInSeries;
          v[1] = s.cellsInParallel;
          return true;
        case 2: return true;  // the full-charge capacity is derived on the PC from the other values
        case 4: be16(v, s.designVoltage); return true;
        case 5: be16(v, s.designCapacity); return true;
        default: return false;
      }
    case 0x000A:
    case 0x2008: return textPart(s.barcode16, index, 2, v);
    case 0x1001:
      if (index < 1 || index > 4) return false;
      for (size_t cell = 4u * (index - 1u), i = 0; i < 4 && cell + i < s.cells.size(); ++i) {
        be16(v + 2 * i, s.cells[cell + i]);
      }
      return true;
    case 0x1003:
      v[0] = static_cast<uint8_t>(s.t1);
      v[1] = static_cast<uint8_t>(s.t2);
      return index == 0;
    case 0x1004: be32(v, s.totalChargeCapacity); return index == 0;
    case 0x1005: std::copy(s.clock.begin(), s.clock.end(), v); return index == 0;
    case 0x1006: return index == 0;
    case 0x1007:
      v[0] = s.protectionFlags;
      v[1] = s.protectionFlags2;
      return index == 0;
    case 0x1008: be32(v, s.cycleCount); return index == 0;
    case 0x1009: be32(v, s.remainCapacity); return index == 0;
    case 0x200A: return textPart(s.barcode32, index, 4, v);
    case 0x200B: v[0] = s.shippingMode ? 1 : 0; return index == 0;
    case 0x6207: return textPart(s.eepBarcode, index, 4, v);
    case 0x6502: {
      const int block = index >> 8, part = index & 0xFF;
      if (block < 1 || block > 3 || part < 1 || part > 4) return false;
      std::copy_n(s.records[static_cast<size_t>(block - 1)].begin() + 8 * (part - 1), 8, v);
      return true;
    }
    default: return false;
  }
}

bool CanPack::write(uint16_t command, uint16_t index, const uint8_t d[8]) {
  CanPackState& s = state_;
  switch (command) {
    case 0x4006:
      if (index != 0) return false;
      std::copy(d, d + 6, s.clock.begin());
      return true;
    case 0x4008: return setTextPart(s.barcode16, index, 2, d);
    case 0x4009: return setTextPart(s.barcode32, index, 4, d);
    case 0x6207: return setTextPart(s.eepBarcode, index, 4, d);
    case 0x4101:
      if (index != 0 || d[0] != 0x00) return false;
      s.totalChargeCapacity = 0;
      ++s.totalChargeErases;
      return true;
    case 0x4102:  // data 00 from the write commands, 01 from the service page's erase
      if (index != 0 || d[0] > 0x01) return false;
      ++s.internalEepromErases;
      return true;
    case 0x4103:
      if (index != 0 || d[0] != 0x01) return false;
      s.records = {};
      ++s.externalEepromErases;
      return true;
    case 0x4205: return index == 0;  // sleep: acknowledged
    case 0x4206:
      if (index != 0 || !std::all_of(d, d + 8, [](uint8_t b) { return b == 0xFF; })) return false;
      ++s.deepSleeps;
      return true;
    case 0x4209:
      if (index != 0 || d[0] > 0x01) return false;
      s.shippingMode = (d[0] & 1) != 0;
      return true;
    default: return false;
  }
}

}  // namespace qv::sim
