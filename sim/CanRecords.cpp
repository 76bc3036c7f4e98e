#include "sim/CanRecords.h"

#include "sim/Bytes.h"

#include <numeric>

namespace qv::sim {

std::array<uint8_t, 32> EncodeEepRecord(const EepRecordFields& f) {
  std::array<uint8_t, 32> r{};
  r[0] = f.year;
  r[1] = f.month;
  r[2] = f.day;
  r[3] = f.hour;
  r[4] = f.minute;
  r[5] = f.second;
  putBigEndian(r.data() + 6, static_cast<uint32_t>(f.current), 4);
  putBigEndian(r.data() + 10, f.voltageWord, 4);
  r[14] = f.stateOfCharge;
  r[15] = static_cast<uint8_t>(f.t1);
  putBigEndian(r.data() + 16, f.voltageDifference, 2);
  putBigEndian(r.data() + 18, f.cycleCount, 2);
  r[20] = f.flag;
  const uint32_t sum = std::accumulate(r.begin(), r.begin() + 30, uint32_t{0}) + (f.goodSum ? 0u : 1u);
  putBigEndian(r.data() + 30, sum & 0xFFFF, 2);
  return r;
}

std::array<uint8_t, 8> EncodeParameterAnswer(uint8_t type, uint8_t index, uint8_t value) {
  return {type, index, 0, 0, 0, value, 0, 0};
}

}  // namespace qv::sim
