// The CAN frame dispatcher: which frames reach a decoder, the answer flags byte by byte, the pairing of answer
// data with the header before it, and the cell spread over the non-zero count.

#include "CanRig.h"
#include "mainwindow/MainFormControls.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace qv {
namespace {

using mainwindow::CanAckFamily;
using mainwindow::CanAckFlags;

class CanDispatch : public test::CanRig {
 protected:
  std::array<uint8_t, CanAckFlags::kFamilies> answered() {
    std::array<uint8_t, CanAckFlags::kFamilies> bytes{};
    for (int f = 0; f < CanAckFlags::kFamilies; ++f) bytes[f] = can.ackFlags().answered(static_cast<CanAckFamily>(f));
    return bytes;
  }
  uint8_t accepted(CanAckFamily f) { return can.ackFlags().accepted(f); }
  uint8_t cellCount() { return state.records.CellVoltArray.snapshot().nonZeroCount; }
  std::array<QString, 3> spread() {
    return {text(mainwindow::ctl::Edit_HVlot), text(mainwindow::ctl::Edit_LVolt), text(mainwindow::ctl::Edit_VoltDiff)};
  }
};

TEST_F(CanDispatch, EachAnswerHeaderSetsItsOwnFlagBitWhateverItsStatus) {
  const struct {
    uint16_t command, index;
    int family;
    uint8_t bit;
  } cases[] = {
      {0x000A, 1, 0, 0x01},     {0x000A, 2, 0, 0x02},     {0x2008, 1, 1, 0x01},     {0x2008, 2, 1, 0x02},
      {0x200A, 1, 2, 0x01},     {0x200A, 4, 2, 0x08},     {0x200B, 0, 3, 0x01},     {0x4008, 1, 4, 0x01},
      {0x4009, 1, 5, 0x01},     {0x4009, 2, 5, 0x02},     {0x4009, 3, 5, 0x04},     {0x4009, 4, 5, 0x08},
      {0x4209, 0, 6, 0x01},     {0x6502, 0x101, 7, 0x01}, {0x6502, 0x104, 7, 0x08}, {0x6502, 0x201, 7, 0x10},
      {0x6502, 0x204, 7, 0x80}, {0x6502, 0x301, 8, 0x01}, {0x6502, 0x304, 8, 0x08},
  };
  for (const auto& c : cases) {
    for (uint8_t status : {0, 1}) {
      SCOPED_TRACE(testing::Message() << std::hex << c.command << " " << c.index << " status " << int(status));
      const auto family = static_cast<CanAckFamily>(c.family);
      can.ackFlags().clear(family);
      const auto before = answered();
      header(c.command, c.index, status);
      auto expected = before;
      expected[c.family] = c.bit;
      EXPECT_EQ(answered(), expected);
      EXPECT_EQ(accepted(family), status == 0 ? c.bit : 0);
    }
  }
}

TEST_F(CanDispatch, OtherPairsSetNothingAndAClearTakesOneFamilyOnly) {
  header(0x200A, 2);
  header(0x4009, 1);
  const auto before = answered();
  for (auto [command, index] : std::vector<std::pair<uint16_t, uint16_t>>{
           {0x000A, 0}, {0x000A, 3}, {0x200B, 1}, {0x6502, 0x100}, {0x6502, 0x105}, {0x6502, 0x401}, {0x1001, 1}}) {
    header(command, index);
  }
  EXPECT_EQ(answered(), before);

  can.ackFlags().clear(CanAckFamily::Barcode32Write);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode32Write), 0);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode32Read), 0x02);
  EXPECT_EQ(accepted(CanAckFamily::Barcode32Read), 0x02);
}

TEST_F(CanDispatch, ALaterAnswerDecidesWhetherAPartWasAccepted) {
  header(0x4009, 3, 1);
  EXPECT_EQ(accepted(CanAckFamily::Barcode32Write), 0);
  header(0x4009, 3, 0);
  EXPECT_EQ(accepted(CanAckFamily::Barcode32Write), 0x04);
  header(0x4009, 3, 2);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode32Write), 0x04);
  EXPECT_EQ(accepted(CanAckFamily::Barcode32Write), 0);
}

TEST_F(CanDispatch, TheSecondHalfOfTheShortBarcodeWriteWithdrawsTheFirst) {
  header(0x4008, 1);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode16Write), 0x01);
  header(0x4008, 2);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode16Write), 0);
  EXPECT_EQ(accepted(CanAckFamily::Barcode16Write), 0);
}

TEST_F(CanDispatch, AnswerDataGoesWhereTheHeaderBeforeItSaysAndOnlyOnce) {
  header(0x200A, 3, 5);
  EXPECT_EQ(can.ackFlags().answered(CanAckFamily::Barcode32Read), 0x04);
  frame(link::kCanAnswerData, "41 42 43 44 45 46 47 48");
  const auto spent = can.lastAnswerHeader();
  EXPECT_EQ(spent.command, 0);
  EXPECT_EQ(spent.index, 0);
  EXPECT_EQ(spent.status, 1);
  const auto barcode = state.records.CanBarcodeBuffer.snapshot();
  EXPECT_EQ(QByteArray(barcode.data() + 16, 8), "ABCDEFGH");
  // The text stops at the zero that the first quarters still hold.
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "");

  header(0x0005, 0);
  frame(link::kCanAnswerData, "01 0C");
  frame(link::kCanAnswerData, "02 03");
  EXPECT_EQ(text(mainwindow::ctl::Edit_FWVer), "1.12");

  // No header at all: nothing but the spent header's status.
  frame(link::kCanAnswerData, "05 06");
  EXPECT_EQ(text(mainwindow::ctl::Edit_FWVer), "1.12");
  EXPECT_EQ(can.lastAnswerHeader().status, 1);
}

TEST_F(CanDispatch, TheHeaderIsKeptWhole) {
  frame(link::kCanAnswerHeader, "12 34 56 78 9A BC DE F0");
  const auto h = can.lastAnswerHeader();
  EXPECT_EQ(h.command, 0x1234);
  EXPECT_EQ(h.index, 0x5678);
  EXPECT_EQ(h.bytes, (std::array<uint8_t, 3>{0x9A, 0xBC, 0xDE}));
  EXPECT_EQ(h.status, 0xF0);
}

TEST_F(CanDispatch, BroadcastsNeedDataAndNoFlagWhileAnswersAreTakenAnyway) {
  frame(0x401, "10 27 00 00 18 FC FF FF", 0);
  frame(0x401, "10 27 00 00 18 FC FF FF", 8, 1);
  frame(0x20000401, "10 27 00 00 18 FC FF FF");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackVoltage), "");
  frame(0x401, "10 27 00 00 18 FC FF FF", 15);
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackVoltage), "10000");

  // A header with length 0 (or with the flag, which hands on zero data) is command 0, index 0, status 0.
  header(0x0005, 0, 3);
  frame(link::kCanAnswerHeader, "", 0);
  EXPECT_EQ(can.lastAnswerHeader().command, 0);
  EXPECT_EQ(can.lastAnswerHeader().status, 0);
  header(0x0005, 0);
  frame(link::kCanAnswerData, "", 0, 1);
  EXPECT_EQ(text(mainwindow::ctl::Edit_FWVer), "0.0");
}

TEST_F(CanDispatch, TheParameterAnswerNeedsEightBytesAndItsType) {
  frame(0x404, "92 01 00 00 00 05 00 00", 7);
  EXPECT_EQ(text(test::paraCtl::Edit_WakeUpLineType), "");
  frame(0x404, "91 01 00 00 00 07 00 00");
  frame(0x404, "90 01 00 00 00 07 00 00");
  frame(0x404, "93 01 00 00 00 07 00 00");
  EXPECT_EQ(text(test::paraCtl::Edit_WakeUpLineType), "");
  // The box is the wake-up line type's, index 1: another index's value is not its own.
  frame(0x404, "92 00 00 00 00 05 00 00");
  frame(0x404, "92 FF 00 00 00 05 00 00");
  EXPECT_EQ(text(test::paraCtl::Edit_WakeUpLineType), "");
  frame(0x404, "92 01 00 00 00 05 00 00");
  EXPECT_EQ(text(test::paraCtl::Edit_WakeUpLineType), "5");
}

TEST_F(CanDispatch, TheSpreadCoversTheNonZeroCountOfTheFirstCells) {
  const struct {
    const char* cells;
    uint8_t count;
    std::array<QString, 3> spread;
  } cases[] = {
      {"0C E4 0C EE 0C DA 00 00", 3, {"3310", "3290", "20"}},
      {"0C E4 0C EE 00 00 0C DA", 3, {"3310", "0", "3310"}},
      {"00 00 00 00 00 00 00 00", 0, {"0", "0", "0"}},
      {"0C E4 00 00 00 00 00 00", 1, {"3300", "3300", "0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cells);
    can.ResetCellCount();
    answer(0x1001, 1, c.cells);
    EXPECT_EQ(cellCount(), c.count);
    EXPECT_EQ(spread(), c.spread);
  }
}

TEST_F(CanDispatch, TheSpreadFollowsTheCellsOfACycleAndShowsAgainForAnyIndex) {
  can.ResetCellCount();
  answer(0x1001, 1, "0C E4 0C E5 0C E6 0C E7");
  answer(0x1001, 2, "0C E8 0C E9 0C EA 0C EB");
  answer(0x1001, 3, "0C EC 0C ED 0C EE 0C EF");
  answer(0x1001, 4, "0C D0 FF FF");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell13), "3280");
  EXPECT_EQ(cellCount(), 13);
  EXPECT_EQ(spread(), (std::array<QString, 3>{"3311", "3280", "31"}));

  controls.setText(mainwindow::ctl::Edit_HVlot, "x");
  answer(0x1001, 5, "FF FF FF FF FF FF FF FF");
  EXPECT_EQ(spread(), (std::array<QString, 3>{"3311", "3280", "31"}));
  EXPECT_EQ(cellCount(), 13);
}

TEST_F(CanDispatch, TheCountSaturatesAndTheSpreadStaysWithinThirteenCells) {
  // Cell answers outside monitoring never reset the count.
  state.records.CellVoltArray.with([](auto& cells) { cells.volts.fill(3300); });
  for (int i = 0; i < 70; ++i) answer(0x1001, 1, "0C E4 0C E4 0C E4 0C E4");
  EXPECT_EQ(cellCount(), 255);
  answer(0x1001, 4, "0C 1C");
  EXPECT_EQ(cellCount(), 255);
  EXPECT_EQ(spread(), (std::array<QString, 3>{"3300", "3100", "200"}));
}

TEST_F(CanDispatch, MaxAndMinOfTheFirstValues) {
  const uint16_t values[] = {5, 9, 1, 9, 0};
  EXPECT_EQ(mainwindow::MaxOfU16(values, 0), 5);
  EXPECT_EQ(mainwindow::MinOfU16(values, 1), 5);
  EXPECT_EQ(mainwindow::MaxOfU16(values, 3), 9);
  EXPECT_EQ(mainwindow::MinOfU16(values, 3), 1);
  EXPECT_EQ(mainwindow::MinOfU16(values, 5), 0);
}

}  // namespace
}  // namespace qv
