#pragma once
// The EEPROM that a simulated UR2 pack keeps: the header block (items 0x6100 to 0x6406, 0x6407) and the three
// record lists (protection 0x6500/0x6501, LEAD 0x6600/0x6601, LAST 0x6602/0x6603), answered from a state a
// test sets. Items and record parts can be left unanswered. The barcode of the header (0x6207) is the pack's
// 32-character barcode (Ur2PackState).
//
// The answers are laid out from the item and record tables, never with the program's codecs.

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace qv::sim {

// One 32-byte history record as the pack stores it.
struct SimEepRecord {
  std::array<uint8_t, 6> stamp{18, 7, 3, 14, 5, 9};  // year minus 2000, month, day, hour, minute, second
  int32_t currentMa = 0;
  uint32_t voltageMv = 0;
  uint8_t soc = 0;
  int8_t t1 = 0;
  uint16_t voltDiffMv = 0;
  uint16_t cycles = 0;  // stored low byte first
  uint8_t flag = 0;
  std::array<uint8_t, 9> spare{};  // bytes 21 to 29
  bool wrongSum = false;           // bytes 30 and 31 do not hold the sum

  // The 32 bytes, the sum in bytes 30 and 31.
  std::array<uint8_t, 32> bytes() const;
};

// An event record as the history reads it: its stamp, state of charge and flag, the rest as above.
inline SimEepRecord eventRecord(uint8_t flag, uint8_t soc, std::array<uint8_t, 6> stamp) {
  SimEepRecord r;
  r.stamp = stamp;
  r.soc = soc;
  r.flag = flag;
  return r;
}

struct SimEepHeader {
  // clang-format off
  uint16_t byteCount = 0;                 // 0: no header
  QByteArray id = "QVH";                  // three characters
  uint8_t idDigit = 2;                    // sent as a number; the program shows it as a digit
  uint8_t currentUnit = 10, voltageUnit = 1, voltDiffUnit = 1;
  uint16_t maxVoltDiff = 0, warrantyCycles = 0;
  uint8_t warrantyPercent = 0, warrantyMonths = 0;
  QByteArray cellType;                    // 16 characters at most, zeros after
  // clang-format on
  uint16_t cycleCount = 0;
  uint32_t totalCharge = 0;
  // 0x6300 to 0x6308: charge start, discharge start, sleep, wake-up, deep sleep, reset, protect release, FSC,
  // storage temperature.
  std::array<uint16_t, 9> eventTotals{};
  // 0x6400 to 0x6406: each a count and an extreme; 0x6407 the SC count alone (its second word unused).
  std::array<std::pair<int32_t, int32_t>, 8> flagCounts{};
};

enum class SimEepList { Protect = 0, Lead = 1, Last = 2 };

struct SimEeprom {
  // A pack whose EEPROM is not simulated answers none of these messages.
  bool present = false;
  SimEepHeader header;
  // The three lists; each answers its count (at most 65535) and its records 1 to the count.
  std::array<std::vector<SimEepRecord>, 3> lists;
  // A count to answer in place of the list's size (to ask for more records than it holds).
  std::array<std::optional<uint16_t>, 3> countOverride;
  // Items (ID, index) that get no answer, whatever message they are (the header's barcode included).
  std::set<std::pair<uint16_t, uint16_t>> silentItems;
  // Record parts (list, record number, part) that get no answer.
  std::set<std::tuple<SimEepList, uint32_t, uint16_t>> silentParts;
  // Requests answered so far, per list: record parts asked (list, record number, part), in order.
  std::vector<std::tuple<SimEepList, uint32_t, uint16_t>> partsAsked;
};

// The eight data bytes of the answer to (id, index, value); false for a message or index it does not answer.
// Notes each record part asked.
bool readEepromData(SimEeprom& eeprom, uint16_t id, uint16_t index, uint32_t value, std::array<uint8_t, 8>* out);

}  // namespace qv::sim
