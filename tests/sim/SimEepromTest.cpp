// The simulated pack's EEPROM: nothing without one, the header items and record parts as the tables lay them
// out, the parts and items left unanswered.

#include "sim/SimEeprom.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

QString data(sim::SimEeprom& e, uint16_t id, uint16_t index, uint32_t value = 0) {
  std::array<uint8_t, 8> d{};
  if (!sim::readEepromData(e, id, index, value, &d)) return "none";
  return test::hexText(QByteArray(reinterpret_cast<const char*>(d.data()), 8));
}

TEST(SimEeprom, AnswersItsItemsAndRecordPartsAsTheTablesLayThemOut) {
  sim::SimEeprom e;
  EXPECT_EQ(data(e, 0x6100, 0), "none");  // no EEPROM simulated
  e.present = true;
  e.header.byteCount = 0x0123;
  e.header.id = "XYZ";
  e.header.cellType = "ABCDEFGHIJ";
  e.header.flagCounts[4] = {5, -10};
  sim::SimEepRecord r;
  r.currentMa = -30516;
  r.cycles = 0x0139;
  r.flag = 0x81;
  e.lists[1] = {r, r};
  e.silentParts = {{sim::SimEepList::Lead, 2, 3}};
  e.countOverride[2] = 7;

  EXPECT_EQ(data(e, 0x6100, 0), "01 23 00 00 00 00 00 00");
  EXPECT_EQ(data(e, 0x6101, 0), "58 59 5A 02 00 00 00 00");
  EXPECT_EQ(data(e, 0x6204, 2), "49 4A 00 00 00 00 00 00");
  EXPECT_EQ(data(e, 0x6204, 3), "none");
  EXPECT_EQ(data(e, 0x6404, 0), "00 00 00 05 FF FF FF F6");
  EXPECT_EQ(data(e, 0x6600, 0), "00 02 00 00 00 00 00 00");
  EXPECT_EQ(data(e, 0x6602, 0), "00 07 00 00 00 00 00 00");
  EXPECT_EQ(data(e, 0x6601, 1, 1), "12 07 03 0E 05 09 FF FF");
  EXPECT_EQ(data(e, 0x6601, 3, 1), "00 00 39 01 81 00 00 00");  // the cycle count low byte first
  // Bytes 30 and 31: the sum of bytes 0 to 29.
  EXPECT_EQ(data(e, 0x6601, 4, 2), "00 00 00 00 00 00 04 45");
  EXPECT_EQ(data(e, 0x6601, 3, 2), "none");
  EXPECT_EQ(data(e, 0x6601, 1, 3), "none");  // past the list's end
  EXPECT_EQ(e.partsAsked.size(), 5u);
  e.silentItems = {{0x6100, 0}};
  EXPECT_EQ(data(e, 0x6100, 0), "none");
}

}  // namespace
}  // namespace qv
