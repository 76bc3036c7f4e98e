#include "sim/Bootloader.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr int kFrameSize = 13;

uint8_t xorOf(const uint8_t* b, int n) {
  uint8_t x = 0;
  for (int i = 0; i < n; ++i) x ^= b[i];
  return x;
}

QByteArray frame(uint8_t kind, const std::array<uint8_t, 8>& message) {
  uint8_t f[kFrameSize] = {'@', 0x00, kind};
  std::copy(message.begin(), message.end(), f + 3);
  f[11] = xorOf(f, 11);
  f[12] = 0x0D;
  return QByteArray(reinterpret_cast<const char*>(f), kFrameSize);
}

QByteArray header(uint16_t command, uint16_t argument, uint8_t status) {
  return frame(3, {static_cast<uint8_t>(command >> 8), static_cast<uint8_t>(command),
                   static_cast<uint8_t>(argument >> 8), static_cast<uint8_t>(argument), 0, 0, 0, status});
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<Bootloader::Record> Bootloader::records(const QByteArray& text) {
  std::vector<Record> out;
  for (const QByteArray& line : text.split('\n')) {
    const QByteArray t = line.trimmed();
    if (t.size() < 11 || t[0] != ':') continue;
    QByteArray bytes;
    bool good = true;
    for (qsizetype i = 1; i + 1 < t.size(); i += 2) {
      const int hi = hexValue(t[i]);
      const int lo = hexValue(t[i + 1]);
      if (hi < 0 || lo < 0) good = false;
      bytes.append(static_cast<char>(hi << 4 | lo));
    }
    const int count = static_cast<uint8_t>(bytes[0]);
    if (!good || bytes.size() < 5 + count) continue;
    Record r;
    r.address = static_cast<uint16_t>(static_cast<uint8_t>(bytes[1]) << 8 | static_cast<uint8_t>(bytes[2]));
    r.type = static_cast<uint8_t>(bytes[3]);
    r.data = bytes.mid(4, count);
    out.push_back(r);
  }
  return out;
}

bool Bootloader::take(const QByteArray& bytes, std::vector<QByteArray>* out) {
  std::lock_guard lock(mutex_);
  const auto* f = reinterpret_cast<const uint8_t*>(bytes.constData());
  const bool holds = bytes.size() == kFrameSize && f[0] == '@' && f[1] == 0x00 && f[11] == xorOf(f, 11) &&
                     f[12] == 0x0D;
  const uint8_t kind = holds ? f[2] : 0;
  const auto command = static_cast<uint16_t>(holds ? f[3] << 8 | f[4] : 0);
  const auto argument = static_cast<uint16_t>(holds ? f[5] << 8 | f[6] : 0);
  if (!running_) {
    if (kind != 1 || command != 0x4202) return false;
    running_ = true;
    fieldPending_ = false;
    out->push_back(header(command, argument, 0));
    return true;
  }
  if (!holds) return true;
  if (kind == 2) {
    if (!fieldPending_) return true;
    fieldPending_ = false;
    ++dataFrames_;
    if (!erased_) {
      out->push_back(header(0x4003, static_cast<uint16_t>(pendingLine_), 1));
      return true;
    }
    recordsValid_ = false;
    fields_[{pendingLine_, pendingField_}] = QByteArray(reinterpret_cast<const char*>(f + 3), pendingLength_);
    if (faults_.neverAcknowledged != std::pair{pendingLine_, pendingField_})
      out->push_back(header(0x4003, static_cast<uint16_t>(pendingLine_), 0));
    return true;
  }
  if (kind != 1) return true;
  fieldPending_ = false;
  switch (command) {
    case 0x000B:
      if (faults_.noVersion) break;
      out->push_back(header(command, argument, 0));
      out->push_back(frame(4, {version_[0], version_[1], 0, 0, 0, 0, 0, 0}));
      break;
    case 0x4204:
      if (faults_.refuseErase) {
        out->push_back(header(command, argument, 1));
        break;
      }
      erased_ = true;
      ++erases_;
      fields_.clear();
      recordsValid_ = false;
      lastVerified_ = 0;
      out->push_back(header(command, argument, 0));
      break;
    case 0x4003:
      fieldPending_ = true;
      pendingLine_ = argument;
      pendingField_ = f[7];
      pendingLength_ = std::min<int>(f[10], 8);
      break;
    case 0x2003: {
      if (faults_.noVerifyAnswer) break;
      // The next record after the last one verified with this address and byte count: two records of one
      // address in different segments are told apart by their order.
      if (!recordsValid_) {
        records_ = records(assembled());
        recordsValid_ = true;
      }
      const std::vector<Record>& all = records_;
      uint8_t sum = 0;
      for (size_t k = 0; k < all.size(); ++k) {
        const size_t i = (lastVerified_ + k) % all.size();
        if (all[i].address == argument && all[i].data.size() == f[7]) {
          for (char c : all[i].data) sum ^= static_cast<uint8_t>(c);
          lastVerified_ = i + 1;
          break;
        }
      }
      if (faults_.wrongVerify) sum = static_cast<uint8_t>(sum + 1);
      out->push_back(header(command, argument, 0));
      out->push_back(frame(4, {sum, 0, 0, 0, 0, 0, 0, 0}));
      break;
    }
    case 0x4203:
      running_ = false;
      ++leaves_;
      out->push_back(header(command, argument, 0));
      break;
    default: break;
  }
  return true;
}

QByteArray Bootloader::assembled() const {
  QByteArray text;
  for (const auto& [place, bytes] : fields_) text += bytes;
  return text;
}

void Bootloader::setVersion(uint8_t major, uint8_t minor) {
  std::lock_guard lock(mutex_);
  version_ = {major, minor};
}

void Bootloader::setFaults(const BootloaderFaults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

bool Bootloader::running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

int Bootloader::erases() const {
  std::lock_guard lock(mutex_);
  return erases_;
}

int Bootloader::leaves() const {
  std::lock_guard lock(mutex_);
  return leaves_;
}

int Bootloader::dataFrames() const {
  std::lock_guard lock(mutex_);
  return dataFrames_;
}

QByteArray Bootloader::receivedText() const {
  std::lock_guard lock(mutex_);
  return assembled();
}

QByteArray Bootloader::flash(uint32_t* base) const {
  std::lock_guard lock(mutex_);
  std::map<uint32_t, char> memory;
  uint32_t upper = 0;
  for (const Record& r : records(assembled())) {
    const auto* d = reinterpret_cast<const uint8_t*>(r.data.constData());
    if (r.type == 0) {
      for (qsizetype i = 0; i < r.data.size(); ++i) memory[upper + r.address + static_cast<uint32_t>(i)] = r.data[i];
    } else if (r.type == 2 && r.data.size() == 2) {
      upper = static_cast<uint32_t>(d[0] << 8 | d[1]) << 4;
    } else if (r.type == 4 && r.data.size() == 2) {
      upper = static_cast<uint32_t>(d[0] << 8 | d[1]) << 16;
    }
  }
  if (base) *base = memory.empty() ? 0 : memory.begin()->first;
  if (memory.empty()) return {};
  QByteArray out(static_cast<qsizetype>(memory.rbegin()->first - memory.begin()->first + 1), '\0');
  for (const auto& [address, byte] : memory) out[address - memory.begin()->first] = byte;
  return out;
}

}  // namespace qv::sim
