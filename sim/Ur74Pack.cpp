#include "sim/Ur74Pack.h"

#include "sim/Bytes.h"

#include <algorithm>

namespace qv::sim {

void Ur74Pack::setState(const Ur74State& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

Ur74State Ur74Pack::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Ur74Pack::setFaults(const Ur74Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

QByteArray Ur74Pack::record() const {
  std::lock_guard lock(mutex_);
  const Ur74State& s = state_;
  QByteArray r(74, '\0');
  r[0] = '!';
  for (int i = 0; i < 13; ++i) putBigEndian(r, 1 + 2 * i, s.cellsMv[i], 2);
  r[27] = s.selectorQ ? 'Q' : 'P';
  putBigEndian(r, 34, s.chargeTotal & 0xFFFFFFFFFFull, 5);
  for (int k = 0; k < 12 && k < s.firmwareId.size(); ++k) r[39 + k] = s.firmwareId[k];
  r[52] = static_cast<char>(s.flags);
  r[53] = static_cast<char>(s.socHalfPercent);
  r[54] = s.discharging ? '\x40' : '\0';
  r[68] = static_cast<char>(s.temperature);
  r[69] = static_cast<char>(s.temperatureByte69);
  putBigEndian(r, 70, s.currentMa, 2);
  r.chop(std::min<qsizetype>(faults_.shortBy, r.size()));
  return r;
}

std::vector<QByteArray> Ur74Pack::answer(const QByteArray& payload, uint16_t expected) {
  if (payload != "X" || expected != 74) return {};
  return {record()};
}

}  // namespace qv::sim
