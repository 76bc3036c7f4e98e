// The CAN value decoders, each reached through the dispatcher as the pack's frames reach it: the texts and
// colours they write, the energy boxes computed from other boxes, and the records the Function Test and the
// EEPROM tools read.

#include "CanRig.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

namespace qv {
namespace {

class CanDecode : public test::CanRig {
 protected:
  QByteArray modelName() {
    const auto set = state.records.EVT_TEST_SET.snapshot();
    return QByteArray(set.ModelName.data());
  }
  QByteArray barcode() {
    const auto field = state.records.CanBarcodeBuffer.snapshot();
    return QByteArray(field.data(), static_cast<int>(field.size()));
  }
};

TEST_F(CanDecode, StatusRegistersColourTheirBoxes) {
  controls.takeChanged();
  frame(0x400, "00 00 41 02");
  const std::vector<Control> green = {mainwindow::ctl::Edit400hASR1Bit0FD, mainwindow::ctl::Edit400hASR1Bit6FC};
  const std::vector<Control> silver = {mainwindow::ctl::Edit400hASR1Bit1NED,    mainwindow::ctl::Edit400hASR1Bit2CHGFET,
                                       mainwindow::ctl::Edit400hASR1Bit3DSGFET, mainwindow::ctl::Edit400hASR1Bit5DSG,
                                       mainwindow::ctl::Edit400hASR1Bit7CHG,    mainwindow::ctl::Edit400hASR1Bit8TCA,
                                       mainwindow::ctl::Edit400hASR1Bit10CUV,   mainwindow::ctl::Edit400hASR1Bit11OCC,
                                       mainwindow::ctl::Edit400hASR1Bit12SCD,   mainwindow::ctl::Edit400hASR1Bit13OCD,
                                       mainwindow::ctl::Edit400hASR1Bit14TDA,   mainwindow::ctl::Edit400hASR1Bit15CHVPA,
                                       mainwindow::ctl::Edit400hCRBit0Approval, mainwindow::ctl::Edit400hCRBit1CReduct1,
                                       mainwindow::ctl::Edit400hCRBit2CReduct2, mainwindow::ctl::Edit400hCRBit14SW1,
                                       mainwindow::ctl::Edit400hCRBit15SW2};
  for (Control box : green) EXPECT_EQ(controls.color(box), colour::Lime) << box;
  for (Control box : silver) EXPECT_EQ(controls.color(box), colour::Silver) << box;
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hASR1Bit9COV), colour::Red);

  // The command register is d0 d1, low byte first; ASR1 bit 4 and CR bits 3 to 13 show nowhere.
  frame(0x400, "07 C0 10 80");
  for (Control box : {mainwindow::ctl::Edit400hCRBit0Approval, mainwindow::ctl::Edit400hCRBit1CReduct1,
                      mainwindow::ctl::Edit400hCRBit2CReduct2}) {
    EXPECT_EQ(controls.color(box), colour::Lime) << box;
  }
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hCRBit14SW1), colour::Red);
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hCRBit15SW2), colour::Red);
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hASR1Bit15CHVPA), colour::Lime);
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hASR1Bit0FD), colour::Silver);
  const std::vector<std::string> written = controls.takeChanged();
  EXPECT_EQ(std::count(written.begin(), written.end(), "Edit400hASR1Bit4"), 0);
  EXPECT_EQ(controls.color(mainwindow::ctl::Edit400hASR1Bit4), colour::Window);
}

TEST_F(CanDecode, BroadcastValuesAreLittleEndian) {
  frame(0x401, "10 27 00 00 18 FC FF FF");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackVoltage), "10000");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackCurrent), "-1000");
  frame(0x401, "FF FF FF FF 00 00 00 80");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackVoltage), "4294967295");
  EXPECT_EQ(text(mainwindow::ctl::Edit401hPackCurrent), "-2147483648");
  frame(0x402, "50 00 00 00 40 7E 05 00");
  EXPECT_EQ(text(mainwindow::ctl::Edit402hRBtyWhCapPercentage), "80");
  EXPECT_EQ(text(mainwindow::ctl::EditRSOC), "80");
  EXPECT_EQ(text(mainwindow::ctl::Edit402hABtyWhCapmWh), "360000");
}

TEST_F(CanDecode, HealthFollowsTheProtocolChoice) {
  controls.setItemIndex(link::ctl::RadioGroup_Protocol, 0);
  frame(0x403, "48 26 00 00 01 00 00 00");
  EXPECT_EQ(text(mainwindow::ctl::EditASOC), "98");
  EXPECT_EQ(text(mainwindow::ctl::Edit_403h_RSOH), "");

  controls.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
  frame(0x403, "5A 00 FF FF 10 27 00 00");
  EXPECT_EQ(text(mainwindow::ctl::EditASOC), "90");
  EXPECT_EQ(text(mainwindow::ctl::Edit_403h_RSOH), "90");
  EXPECT_EQ(text(mainwindow::ctl::Edit403hBatteryPackSOHmWh), "10000");
  EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOH_Capacity), "");  // no capacity yet
  controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, "500");
  frame(0x403, "5A 00 00 00 10 27 00 00");
  EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOH_Capacity), "450");

  controls.setItemIndex(link::ctl::RadioGroup_Protocol, -1);
  frame(0x403, "01 00 00 00 00 00 00 00");
  EXPECT_EQ(text(mainwindow::ctl::EditASOC), "90");
}

TEST_F(CanDecode, EnergyBoxesKeepTheirTextWhenAnInputIsNoNumber) {
  const struct {
    const char* capacity;
    const char* asoc;
    const char* soc;     // Edit_BRCAN_SOC_Wh after a 0x402 with RSOC 80
    const char* health;  // Edit_BRCAN_SOH_Capacity after a 0x403 carrying the ASOC
  } cases[] = {
      // clang-format off
      {"500", "90", "360", "450"},
      {"50", "58", "23", "29"},   // 50 x 0.58 x 0.8 = 23.2; 0.58 x 50 is 29, not 28.99...
      {"12.5", "100", "10", "12"},
      {"", "90", "old", "old"},
      {"n/a", "90", "old", "old"},
      {"1e30", "90", "", ""},        // a share too large to show empties its box
      // clang-format on
  };
  controls.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.capacity);
    controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, c.capacity);
    controls.setText(mainwindow::ctl::Edit_BRCAN_SOC_Wh, "old");
    controls.setText(mainwindow::ctl::Edit_BRCAN_SOH_Capacity, "old");
    const QByteArray health = QByteArray::number(QByteArray(c.asoc).toInt(), 16).rightJustified(2, '0');
    frame(0x403, (health + " 00 00 00 00 00 00 00").constData());
    frame(0x402, "50 00 00 00 00 00 00 00");
    EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOC_Wh), c.soc);
    EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOH_Capacity), c.health);
  }

  // The state-of-charge energy reads ASOC from its box, whoever wrote it.
  controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, "500");
  controls.setText(mainwindow::ctl::EditASOC, "");
  controls.setText(mainwindow::ctl::Edit_BRCAN_SOC_Wh, "old");
  frame(0x402, "50 00 00 00 00 00 00 00");
  EXPECT_EQ(text(mainwindow::ctl::Edit_BRCAN_SOC_Wh), "old");
}

TEST_F(CanDecode, FullChargeCapacityFromTheBoxesInWholeNumbers) {
  const struct {
    const char *capacity, *asoc, *series, *result;
  } cases[] = {
      {"500", "90", "13", "9615"}, {"500", "90", "0", "old"}, {"500.5", "90", "13", "old"},
      {"500", "", "13", "old"},    {"500", "90", "x", "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.capacity << " " << c.asoc << " " << c.series);
    controls.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, c.capacity);
    controls.setText(mainwindow::ctl::EditASOC, c.asoc);
    controls.setText(mainwindow::ctl::Edit_CellSeries, c.series);
    controls.setText(mainwindow::ctl::EditFullChargeCapacity, "old");
    answer(0x0009, 2, "FF FF FF FF FF FF FF FF");
    EXPECT_EQ(text(mainwindow::ctl::EditFullChargeCapacity), c.result);
  }
}

TEST_F(CanDecode, AnswerValuesAreBigEndian) {
  answer(0x0005, 0, "01 0C");
  EXPECT_EQ(text(mainwindow::ctl::Edit_FWVer), "1.12");
  answer(0x0009, 1, "0D 04");
  for (Control box : {mainwindow::ctl::EditCellSeries, mainwindow::ctl::Edit_CellSeries}) EXPECT_EQ(text(box), "13");
  for (Control box : {mainwindow::ctl::EditCellParallel, mainwindow::ctl::Edit_CellParallel}) EXPECT_EQ(text(box), "4");
  EXPECT_EQ(state.records.EVT_TEST_SET.snapshot().CellSeries, 13);
  answer(0x0009, 4, "B6 D0");
  EXPECT_EQ(text(mainwindow::ctl::EditDesignVoltage), "46800");
  answer(0x0009, 5, "FF FF");
  EXPECT_EQ(text(mainwindow::ctl::EditDesignCapacity), "65535");
  answer(0x1004, 0, "00 01 E2 40 FF");
  EXPECT_EQ(text(mainwindow::ctl::EditTotalChargeCapcity), "123456");
  answer(0x1008, 0, "FF FF FF FF");
  EXPECT_EQ(text(mainwindow::ctl::EditCycleCount), "4294967295");
  EXPECT_EQ(text(mainwindow::ctl::Edit_CycleCount), "4294967295");
  answer(0x1009, 0, "00 00 20 80");
  EXPECT_EQ(text(mainwindow::ctl::EditRemainCapacity), "8320");
  answer(0x1001, 2, "0C E4 0C E5 0C E6 0C E7");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell5), "3300");
  EXPECT_EQ(text(mainwindow::ctl::EditVCell8), "3303");
  EXPECT_EQ(state.records.CellVoltArray.snapshot().volts[7], 3303);
  // The answers the UR2 side shares.
  answer(0x1003, 0, "F6 19");
  EXPECT_EQ(text(mainwindow::ctl::EditT1), "-10");
  EXPECT_EQ(text(mainwindow::ctl::EditT2), "25");
  answer(0x1007, 0, "08 00");
  EXPECT_EQ(controls.color(mainwindow::ctl::EditOCF), colour::Red);
  EXPECT_EQ(controls.color(mainwindow::ctl::EditOVF), colour::White);
}

TEST_F(CanDecode, TheClockShowsWithoutLeadingZerosAndFillsTheTestRecord) {
  answer(0x1005, 0, "18 0C 1F 17 3B 3B");
  EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2024.12.31  23:59:59");
  EXPECT_EQ(text(mainwindow::ctl::Edit_RTC), " 2024.12.31  23:59:59");
  const auto test = state.records.EVT_TEST.snapshot();
  EXPECT_EQ(test.PackRtcDate, 20241231);
  EXPECT_EQ(test.PackRtcSeconds, 86399);
  EXPECT_EQ(test.PackRtcYear, 2024);
  EXPECT_EQ(test.PackRtcSecond, 59);
  answer(0x1005, 0, "18 05 07 09 05 03");
  EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2024.5.7  9:5:3");
}

TEST_F(CanDecode, ShippingModeFromBitZero) {
  answer(0x200B, 0, "FF");
  EXPECT_EQ(text(mainwindow::ctl::Label_ShippingMode_RX_DAT), "DAT : OK");
  EXPECT_TRUE(controls.checked(mainwindow::ctl::CheckBox_ShippingModeReadOnly));
  EXPECT_EQ(text(mainwindow::ctl::CheckBox_ShippingModeReadOnly), "Enabled");
  answer(0x200B, 0, "FE");
  EXPECT_FALSE(controls.checked(mainwindow::ctl::CheckBox_ShippingModeReadOnly));
  EXPECT_EQ(text(mainwindow::ctl::CheckBox_ShippingModeReadOnly), "Disabled");
}

TEST_F(CanDecode, BarcodeQuartersKeepThePositionsOfBlanks) {
  answer(0x200A, 1, "51 56 33 32 42 43 32 34");
  answer(0x200A, 2, "30 35 30 37 30 30 30 30");
  answer(0x200A, 2, "41 42 20 20 43 44 20 20");
  EXPECT_EQ(barcode().left(16), "QV32BC24AB07CD00");
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "QV32BC24AB07CD00");

  answer(0x6207, 3, "45 45 50 32 34 30 35 30");
  answer(0x6207, 4, "37 30 30 30 30 30 30 31");
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "QV32BC24AB07CD00EEP2405070000001");
  // Thirty-two characters and no terminator: the text ends with the field.
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW).size(), 32);

  answer(0x000A, 1, "31 36 20 2D 2D 2D 2D 2D");
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "163-----AB07CD00EEP2405070000001");
  answer(0x000A, 2, "00 00 00 00 00 00 00 00");
  EXPECT_EQ(text(mainwindow::ctl::Edit_Barcode32_RW), "163-----");
}

TEST_F(CanDecode, TheModelNameNeedsItsFirstHalfAndLeavesNothingStale) {
  answer(0x0001, 1, "51 56 58 34 38 2D 31 33");
  answer(0x0001, 2, "53 34 50 2D 41 30 30 31");
  EXPECT_EQ(text(mainwindow::ctl::Edit_ModelName), "QVX48-13S4P-A001");
  EXPECT_EQ(state.firmwareIdText.text(), "QVX48-13S4P-A001");
  EXPECT_EQ(modelName(), "QVX48-13S4P-A001");

  // A second half alone: the text box keeps its model, the test record takes the half whole.
  answer(0x0001, 2, "58 59 20 5A 5A 5A 5A 5A");
  EXPECT_EQ(text(mainwindow::ctl::Edit_ModelName), "QVX48-13S4P-A001");
  EXPECT_EQ(state.firmwareIdText.text(), "QVX48-13S4P-A001");
  EXPECT_EQ(modelName(), "QVX48-13XY");

  // The firmware id stops at a zero; the model text at a blank, leaving a gap that ends it.
  answer(0x0001, 1, "41 42 20 20 00 43 44 45");
  answer(0x0001, 2, "46 47 00 48");
  EXPECT_EQ(text(mainwindow::ctl::Edit_ModelName), "AB  FG");
  EXPECT_EQ(modelName(), "AB");
  const auto set = state.records.EVT_TEST_SET.snapshot();
  EXPECT_EQ(QByteArray(set.ModelName.data() + 8, 2), "FG");
}

TEST_F(CanDecode, RecordPartsFillTheProtectionBufferInUnsignedArithmetic) {
  // 2018.7.3 14:05:09, current FFFF88CC (-30516 mA), 6500 x 2 mV, SOC 35, T1 -10, diff 12, cycles 57, flag 0x49.
  uint8_t record[32] = {0x12, 0x07, 0x03, 0x0E, 0x05, 0x09, 0xFF, 0xFF, 0x88, 0xCC, 0x00,
                        0x00, 0x19, 0x64, 0x23, 0xF6, 0x00, 0x0C, 0x00, 0x39, 0x49};
  uint32_t sum = 0;
  for (int i = 0; i < 30; ++i) sum += record[i];
  record[30] = static_cast<uint8_t>(sum >> 8);
  record[31] = static_cast<uint8_t>(sum);
  const auto part = [&](int p) {
    return test::hexText(QByteArray(reinterpret_cast<const char*>(record) + 8 * (p - 1), 8)).toLatin1();
  };

  answer(0x6502, 0x201, part(1).constData());
  auto b = state.records.ProtectBlockBuffer.snapshot();
  EXPECT_EQ(b.current, static_cast<int32_t>(0xFFFF0000));
  EXPECT_FALSE(b.complete());
  answer(0x6502, 0x202, part(2).constData());
  answer(0x6502, 0x203, part(3).constData());
  b = state.records.ProtectBlockBuffer.snapshot();
  EXPECT_EQ(b.current, -30516);
  EXPECT_EQ(b.voltage, 13000u);
  EXPECT_EQ(b.stateOfCharge, 35);
  EXPECT_EQ(b.t1, -10);
  EXPECT_EQ(b.voltageDifference, 12);
  EXPECT_EQ(b.cycleCount, 0x0039);
  EXPECT_EQ(b.flag, 0x49);
  EXPECT_EQ(b.dateTime, (std::array<uint8_t, 6>{0x12, 7, 3, 14, 5, 9}));
  EXPECT_FALSE(b.complete());
  answer(0x6502, 0x204, part(4).constData());
  b = state.records.ProtectBlockBuffer.snapshot();
  EXPECT_TRUE(b.complete());
  EXPECT_EQ(b.byteSum, sum);
  EXPECT_EQ(b.valid, 1);
  EXPECT_TRUE(std::equal(record, record + 32, b.raw.begin()));

  // A wrong sum; and a buffer zeroed before a record whose first part never came.
  record[31] ^= 1;
  answer(0x6502, 0x104, part(4).constData());
  EXPECT_EQ(state.records.ProtectBlockBuffer.snapshot().valid, 0);
  state.records.ProtectBlockBuffer.set({});
  for (int p = 2; p <= 4; ++p) answer(0x6502, 0x300 + p, part(p).constData());
  EXPECT_FALSE(state.records.ProtectBlockBuffer.snapshot().complete());
  EXPECT_EQ(state.records.ProtectBlockBuffer.snapshot().partsReceived, 0x0E);

  // Indexes that name no part store nothing.
  state.records.ProtectBlockBuffer.set({});
  answer(0x6502, 0x100, part(1).constData());
  answer(0x6502, 0x105, part(1).constData());
  answer(0x6502, 0x401, part(1).constData());
  EXPECT_EQ(state.records.ProtectBlockBuffer.snapshot().partsReceived, 0);
}

}  // namespace
}  // namespace qv
