#include "sim/Ur96Pack.h"

#include "sim/Bytes.h"

#include <algorithm>

namespace qv::sim {

void Ur96Pack::setState(const Ur96State& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

Ur96State Ur96Pack::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Ur96Pack::setFaults(const Ur96Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

QByteArray Ur96Pack::record() const {
  std::lock_guard lock(mutex_);
  const Ur96State& s = state_;
  QByteArray r(96, '\0');
  const auto text = [&r](int at, int width, const QByteArray& t, char pad) {
    for (int k = 0; k < width; ++k) r[at + k] = k < t.size() ? t[k] : pad;
  };
  r[0] = 'J';
  r[1] = static_cast<char>(s.soh);
  r[2] = static_cast<char>(s.rsoc);
  putBigEndian(r, 3, s.cycles, 2);
  putBigEndian(r, 5, s.designCapacity, 4);
  putBigEndian(r, 9, s.totalCharge & 0xFFFFFFFFFFFFull, 6);
  putBigEndian(r, 15, s.fullChargeCapacity, 4);
  putBigEndian(r, 19, s.remainingCapacity, 4);
  putBigEndian(r, 23, static_cast<uint32_t>(s.currentMa), 4);
  putBigEndian(r, 27, s.voltageMv, 4);
  text(31, 12, s.firmwareId, ' ');
  putBigEndian(r, 43, s.firmwareVersion, 2);
  r[45] = static_cast<char>(s.series);
  r[46] = static_cast<char>(s.parallel);
  r[47] = static_cast<char>(s.chargeState);
  r[48] = static_cast<char>(s.flags);
  for (int i = 0; i < 3; ++i) r[50 + i] = static_cast<char>(s.temperatures[i]);
  text(56, 8, s.serial, '\0');
  for (int i = 0; i < 12; ++i) r[64 + i] = static_cast<char>(s.tail[i]);
  uint8_t sum = 0;
  for (int i = 1; i <= 94; ++i) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(r[i]));
  r[95] = static_cast<char>(faults_.wrongSum ? sum + 1 : sum);
  r.chop(std::min<qsizetype>(faults_.shortBy, r.size()));
  return r;
}

std::vector<QByteArray> Ur96Pack::answer(const QByteArray& payload, uint16_t expected) {
  if (payload != QByteArray("&\r\n") || expected != 96) return {};
  return {record()};
}

}  // namespace qv::sim
