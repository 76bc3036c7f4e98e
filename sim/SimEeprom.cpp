#include "sim/SimEeprom.h"

#include "sim/Bytes.h"

#include <algorithm>

namespace qv::sim {

std::array<uint8_t, 32> SimEepRecord::bytes() const {
  std::array<uint8_t, 32> b{};
  std::copy(stamp.begin(), stamp.end(), b.begin());
  putBigEndian(b.data() + 6, static_cast<uint32_t>(currentMa), 4);
  putBigEndian(b.data() + 10, voltageMv, 4);
  b[14] = soc;
  b[15] = static_cast<uint8_t>(t1);
  putBigEndian(b.data() + 16, voltDiffMv, 2);
  putLittleEndian(b.data() + 18, cycles, 2);
  b[20] = flag;
  std::copy(spare.begin(), spare.end(), b.begin() + 21);
  uint32_t sum = 0;
  for (int i = 0; i < 30; ++i) sum += b[i];
  putBigEndian(b.data() + 30, wrongSum ? sum + 1 : sum, 2);
  return b;
}

namespace {

using Bytes8 = std::array<uint8_t, 8>;

bool readHeader(const SimEepHeader& h, uint16_t id, uint16_t index, Bytes8& d) {
  if (id == 0x6204) {
    if (index != 1 && index != 2) return false;
    d = eightBytes(h.cellType.left(16), 8 * (index - 1));
    return true;
  }
  if (index != 0) return false;
  switch (id) {
    case 0x6100: putBigEndian(d.data(), h.byteCount, 2); return true;
    case 0x6101:
      d = eightBytes(h.id.left(3), 0);
      d[3] = h.idDigit;
      return true;
    case 0x6102: d[0] = h.currentUnit; return true;
    case 0x6103: d[0] = h.voltageUnit; return true;
    case 0x6104: d[0] = h.voltDiffUnit; return true;
    case 0x6200: putBigEndian(d.data(), h.maxVoltDiff, 2); return true;
    case 0x6201: putBigEndian(d.data(), h.warrantyCycles, 2); return true;
    case 0x6202: d[0] = h.warrantyPercent; return true;
    case 0x6203: d[0] = h.warrantyMonths; return true;
    case 0x6205: putBigEndian(d.data(), h.cycleCount, 2); return true;
    case 0x6206: putBigEndian(d.data(), h.totalCharge, 4); return true;
    default: break;
  }
  if (id >= 0x6300 && id <= 0x6308) {
    putBigEndian(d.data(), h.eventTotals[id - 0x6300u], 2);
    return true;
  }
  if (id >= 0x6400 && id <= 0x6407) {
    const auto& [count, extreme] = h.flagCounts[id - 0x6400u];
    putBigEndian(d.data(), static_cast<uint32_t>(count), 4);
    if (id != 0x6407) putBigEndian(d.data() + 4, static_cast<uint32_t>(extreme), 4);
    return true;
  }
  return false;
}

}  // namespace

bool readEepromData(SimEeprom& eeprom, uint16_t id, uint16_t index, uint32_t value, Bytes8* out) {
  if (!eeprom.present || eeprom.silentItems.count({id, index}) != 0) return false;
  Bytes8& d = *out;
  struct ListIds {
    uint16_t count, record;
    SimEepList list;
  };
  static constexpr ListIds kLists[] = {
      {0x6500, 0x6501, SimEepList::Protect}, {0x6600, 0x6601, SimEepList::Lead}, {0x6602, 0x6603, SimEepList::Last}};
  for (const ListIds& l : kLists) {
    const auto i = static_cast<size_t>(l.list);
    const std::vector<SimEepRecord>& records = eeprom.lists[i];
    if (id == l.count) {
      if (index != 0) return false;
      const uint16_t n =
          eeprom.countOverride[i].value_or(static_cast<uint16_t>(std::min<size_t>(records.size(), 65535)));
      putBigEndian(d.data(), n, 2);
      return true;
    }
    if (id == l.record) {
      if (index < 1 || index > 4) return false;
      eeprom.partsAsked.emplace_back(l.list, value, index);
      if (value < 1 || value > records.size() || eeprom.silentParts.count({l.list, value, index}) != 0) return false;
      const std::array<uint8_t, 32> b = records[value - 1].bytes();
      std::copy_n(b.begin() + 8 * (index - 1), 8, d.begin());
      return true;
    }
  }
  return readHeader(eeprom.header, id, index, d);
}

}  // namespace qv::sim
