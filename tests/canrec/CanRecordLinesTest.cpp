// The record line of the CAN history records and the lines each block shows for it.

#include "eeprom/CanRecordLines.h"

#include <gtest/gtest.h>

namespace qv::eeprom {
namespace {

// 2018.7.3 14:05:09, -30516 mA, 13000 mV, SOC 35, T1 -10, 12 mV, 57 cycles.
CanRecordFields record(uint8_t flag, uint8_t valid = 1) {
  CanRecordFields r;
  r.dateTime = {18, 7, 3, 14, 5, 9};
  r.current = -30516;
  r.voltage = 13000;
  r.stateOfCharge = 35;
  r.t1 = -10;
  r.voltageDifference = 12;
  r.cycleCount = 57;
  r.flag = flag;
  r.valid = valid;
  return r;
}

const QString kPieces = "0001 , Date : 2018.7.3 , Time : 14.5.9 , Current  : -30516 mA , Voltage  : 13000 mV , "
                        "SOC  : 35 % , T1  : -10 Degree C , VoltDiff  : 12 mV , Cycle Cnt  : 57  , ";

TEST(CanRecordLines, TheRecordLineByFlag) {
  const struct {
    uint8_t flag;
    uint8_t valid;
    const char* tail;
  } cases[] = {
      {140, 1, "Ptt/Evt : 1 , Event : Last Charge . "},
      {0x81, 1, "Ptt/Evt : 1 , Event : Charge Start . "},
      // A code without a name shows a single blank between its piece's parts.
      {143, 1, "Ptt/Evt : 1 , Event :   . "},
      {0xFF, 1, "Ptt/Evt : 1 , Event :   . "},
      {0x49, 1, "Ptt/Evt : 0 , Chg/Dsg : 1 . UT : 0 . OT : 0 . SC : 1 . OC : 0 . UV : 0 . OV : 1 . "},
      {0x3F, 1, "Ptt/Evt : 0 , Chg/Dsg : 0 . UT : 1 . OT : 1 . SC : 1 . OC : 1 . UV : 1 . OV : 1 . "},
      {142, 0, "Ptt/Evt : 1 , Event : Last UVP .  (CheckSum Error)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatCanRecordLine(record(c.flag, c.valid), 0), kPieces + c.tail) << int(c.flag);
  }
}

TEST(CanRecordLines, NumbersDatesAndSignedValues) {
  CanRecordFields r = record(140);
  for (const auto& [n, shown] :
       {std::pair{0, "0001 , "}, {8, "0009 , "}, {9, "0010 , "}, {99, "0100 , "}, {998, "0999 , "}, {999, "1000 , "}}) {
    EXPECT_TRUE(FormatCanRecordLine(r, n).startsWith(shown)) << n;
  }
  r.dateTime = {255, 12, 31, 23, 59, 59};
  r.current = INT32_MIN;
  r.voltage = UINT32_MAX;
  r.t1 = 127;
  r.cycleCount = 65535;
  const QString line = FormatCanRecordLine(r, 0);
  EXPECT_TRUE(line.contains("Date : 2255.12.31 , Time : 23.59.59 , Current  : -2147483648 mA , "
                            "Voltage  : 4294967295 mV ,"))
      << line.toStdString();
  EXPECT_TRUE(line.contains("T1  : 127 Degree C , VoltDiff  : 12 mV , Cycle Cnt  : 65535  , ")) << line.toStdString();
}

TEST(CanRecordLines, EventNames) {
  EXPECT_EQ(EepEventName(128), "Reserve");
  EXPECT_EQ(EepEventName(139), "Storage Temp");
  EXPECT_EQ(EepEventName(141), "Last Full Charge");
  EXPECT_EQ(EepEventName(142), "Last UVP");
  EXPECT_EQ(EepEventName(127), "");
  EXPECT_EQ(EepEventName(143), "");
}

TEST(CanRecordLines, ABlockShowsItsEventOrItsAbsentLine) {
  const CanRecordBlock& lastCharge = kCanRecordBlocks[0];
  const CanRecordBlock& lastFull = kCanRecordBlocks[1];
  const CanRecordBlock& lastUvp = kCanRecordBlocks[2];
  EXPECT_EQ(CanRecordBlockLines(lastCharge, record(140)),
            (QStringList{"Last Chrage Event  : ", kPieces + "Ptt/Evt : 1 , Event : Last Charge . "}));
  // Another block's event, a protection record and a code without a name are all "absent" here.
  EXPECT_EQ(CanRecordBlockLines(lastFull, record(140)), QStringList{"No Last Full Chrage Event."});
  EXPECT_EQ(CanRecordBlockLines(lastUvp, record(0x02)), QStringList{"No Last UVP Event."});
  EXPECT_EQ(CanRecordBlockLines(lastUvp, record(143)), QStringList{"No Last UVP Event."});
  // A wrong sum still shows the record, marked.
  const QStringList wrongSum = CanRecordBlockLines(lastUvp, record(142, 0));
  ASSERT_EQ(wrongSum.size(), 2);
  EXPECT_EQ(wrongSum[0], "Last UVP Event  : ");
  EXPECT_TRUE(wrongSum[1].endsWith(" (CheckSum Error)"));
}

}  // namespace
}  // namespace qv::eeprom
