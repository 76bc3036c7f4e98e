#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Ur74Record.h"
#include "support/BareStore.h"
#include "support/CurrentFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <string>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

// A UR74 record written byte by byte from its table.
struct Ur74Bytes {
  QByteArray b = QByteArray(74, '\0');
  Ur74Bytes() { b[0] = '!'; }
  Ur74Bytes& cell(int i, uint16_t mv) {
    b[2 * i - 1] = static_cast<char>(mv >> 8);
    b[2 * i] = static_cast<char>(mv);
    return *this;
  }
  Ur74Bytes& allCells(uint16_t mv) {
    for (int i = 1; i <= 13; ++i) cell(i, mv);
    return *this;
  }
  Ur74Bytes& id(const char* text) {
    for (int k = 0; k < 12; ++k) b[39 + k] = '\0';
    for (int k = 0; k < 12 && text[k] != '\0'; ++k) b[39 + k] = text[k];
    return *this;
  }
  Ur74Bytes& tcc(uint64_t mAh) {
    uint64_t v = mAh * 7200;
    for (int k = 4; k >= 0; --k, v >>= 8) b[34 + k] = static_cast<char>(v);
    return *this;
  }
  Ur74Bytes& at(int i, uint8_t v) {
    b[i] = static_cast<char>(v);
    return *this;
  }
};

struct Decoder {
  test::MainWindowStore controls;
  MainState state;
  Ur74CellCount count;
  Decoder() {
    // The main window's rule: the SOC bar follows EditRSOC.
    controls.onTextChanged(ctl::EditRSOC, [](Controls& c, const QString& text) {
      long long v = 0;
      if (parseInt(text, &v)) c.setPosition(ctl::ProgressBarSOC, static_cast<int>(v));
    });
  }
  void decode(const QByteArray& record) { DecodeUr74Record(record, controls, state, count); }
  QString text(Control name) const { return controls.text(name); }
};

TEST(Ur74Record, CapacityModelsByModelCode) {
  struct Case {
    const char* id;
    uint64_t tcc;  // total charge in mAh
    uint8_t rsoc;  // percent
    const char* dc;
    const char* cycles;
    const char* fcc;
    const char* asoc;
    const char* total;
  };
  const Case cases[] = {
      {"QV0703A12B", 699 * 5700 - 2280, 0, "5700", "699", "3424", "60", "3984300"},
      {"QV0703A12B", 700 * 5700 - 2280, 0, "5700", "700", "3420", "60", "3990000"},
      {"QV1310AA6E", 499 * 11600 - 4640, 0, "11600", "499", "8127", "70", "5788400"},
      {"QV1310AA6E", 500 * 11600 - 4640, 0, "11600", "500", "8120", "70", "5800000"},
      {"QV1306A15D", 0, 50, "8600", "0", "8600", "100", "4300"},  // a class-3 table code
      {"ZZ1306A15D", 0, 50, "8600", "0", "8600", "100", "4300"},  // a code not in the table
      {"zz", 0, 50, "8600", "0", "8600", "100", "4300"},          // no id at all
      {"QV0703A12", 0, 0, "8600", "0", "8600", "100", "3440"},    // nine characters match no code
  };
  for (const Case& c : cases) {
    Decoder d;
    d.decode(Ur74Bytes().id(c.id).tcc(c.tcc).at(53, static_cast<uint8_t>(c.rsoc * 2)).b);
    EXPECT_EQ(d.text(ctl::EditDC), c.dc) << c.id;
    EXPECT_EQ(d.text(ctl::EditCycleCnt), c.cycles) << c.id;
    EXPECT_EQ(d.text(ctl::EditFCC), c.fcc) << c.id;
    EXPECT_EQ(d.text(ctl::EditASOC), c.asoc) << c.id;
    EXPECT_EQ(d.controls.position(ctl::ProgressBarSOH), d.text(ctl::EditASOC).toInt()) << c.id;
    EXPECT_EQ(d.text(ctl::EditTCC), c.total) << c.id;
    EXPECT_EQ(d.text(ctl::EditRSOC), QString::number(c.rsoc)) << c.id;
  }
}

TEST(Ur74Record, CellCountFromTheFirmwareIdStaysInForce) {
  Decoder d;
  // No id has carried a count yet: every cell shows 0.
  d.decode(Ur74Bytes().allCells(3700).id("zz13").b);
  EXPECT_EQ(d.text(ctl::EditFWID), "");
  EXPECT_EQ(d.text(ctl::EditVCell1), "0");
  EXPECT_EQ(d.text(ctl::EditPackVolt), "0");

  d.decode(Ur74Bytes().allCells(3700).cell(10, 3600).id("QV1006A14C99").b);
  EXPECT_EQ(d.text(ctl::EditFWID), "QV1006A14C99");
  EXPECT_EQ(d.text(ctl::EditVCell10), "3600");
  EXPECT_EQ(d.text(ctl::EditVCell11), "0");
  EXPECT_EQ(d.text(ctl::EditPackVolt), QString::number(9 * 3700 + 3600));
  EXPECT_EQ(d.text(ctl::Edit_HVlot), "3700");
  EXPECT_EQ(d.text(ctl::Edit_LVolt), "3600");
  EXPECT_EQ(d.text(ctl::Edit_VoltDiff), "100");

  // Third and fourth characters not both digits: the count in force stays, here and in later records.
  d.decode(Ur74Bytes().allCells(3000).id("QVx6").b);
  EXPECT_EQ(d.text(ctl::EditVCell10), "3000");
  EXPECT_EQ(d.text(ctl::EditVCell11), "0");
  d.decode(Ur74Bytes().allCells(3000).id("").b);
  EXPECT_EQ(d.text(ctl::EditVCell10), "3000");

  // A count above 13 shows all thirteen cells.
  d.decode(Ur74Bytes().allCells(3100).id("QV99").b);
  EXPECT_EQ(d.text(ctl::EditVCell13), "3100");
  EXPECT_EQ(d.text(ctl::EditPackVolt), QString::number(13 * 3100));
}

TEST(Ur74Record, TemperatureFlagsCurrentAndSocBar) {
  struct Case {
    bool selectorQ;
    uint8_t b68, b69;
    const char* text;
    Colour colour;  // Red: the colour is left as it was (the test paints it red first)
  };
  const Case cases[] = {
      // clang-format off
      {true, 0xD8, 0, "-40", colour::Blue},
      {true, 0xD7, 0, "", colour::White},
      {true, 0x64, 0, "100", colour::Red},
      {true, 0x65, 0, "", colour::Red},
      {true, 0x00, 0, "0", colour::Red},
      {false, 0xD8, 51, "25", colour::Red},
      // clang-format on
  };
  for (const Case& c : cases) {
    Decoder d;
    d.controls.setColor(ctl::EditT1, colour::Red);
    d.decode(Ur74Bytes().id("QV13").at(27, c.selectorQ ? 'Q' : 'R').at(68, c.b68).at(69, c.b69).b);
    EXPECT_EQ(d.text(ctl::EditT1), c.text) << int(c.b68);
    EXPECT_EQ(d.controls.color(ctl::EditT1), c.colour) << int(c.b68);
  }
  {
    // Without a firmware id the selector does not count.
    Decoder d;
    d.decode(Ur74Bytes().at(27, 'Q').at(68, 30).at(69, 51).b);
    EXPECT_EQ(d.text(ctl::EditT1), "25");
  }

  Decoder d;
  d.decode(Ur74Bytes().id("QV13").at(52, 0x15).at(54, 0x40).at(70, 0x01).at(71, 0xF4).at(53, 151).b);
  EXPECT_EQ(d.text(ctl::EditPackCurrent), "-500");
  EXPECT_EQ(d.controls.color(ctl::EditOVF), colour::Red);
  EXPECT_EQ(d.controls.color(ctl::EditUVF), colour::White);
  EXPECT_EQ(d.controls.color(ctl::EditOCF), colour::Red);
  EXPECT_EQ(d.controls.color(ctl::EditSCF), colour::White);
  EXPECT_EQ(d.controls.color(ctl::EditOTF), colour::Red);
  EXPECT_EQ(d.text(ctl::EditRSOC), "75");
  EXPECT_EQ(d.controls.maximum(ctl::ProgressBarSOC), 200);
  // The bar is set to the half-percent byte, then follows EditRSOC's change.
  EXPECT_EQ(d.controls.position(ctl::ProgressBarSOC), 75);
  d.decode(Ur74Bytes().id("QV13").at(54, 0xBF).at(70, 0x01).at(71, 0xF4).at(53, 150).b);
  EXPECT_EQ(d.text(ctl::EditPackCurrent), "500");
  EXPECT_EQ(d.controls.position(ctl::ProgressBarSOC), 150);  // RSOC unchanged: the rule does not run
}

TEST(Ur74Record, NotARecordOrAShortOne) {
  Decoder d;
  d.controls.setText(ctl::EditDC, "x");
  d.decode(Ur74Bytes().at(0, '?').id("QV13").b);
  EXPECT_EQ(d.controls.maximum(ctl::ProgressBarSOC), 200);
  EXPECT_EQ(d.text(ctl::EditDC), "x");
  EXPECT_EQ(d.text(ctl::EditFWID), "");
  EXPECT_EQ(d.count.inForce.load(), 0);

  d.decode(QByteArray());
  EXPECT_EQ(d.text(ctl::EditDC), "x");
  // A short record reads as zeros past its end.
  d.decode(QByteArray("!\x0E\x74", 3));
  EXPECT_EQ(d.text(ctl::EditDC), "8600");
  EXPECT_EQ(d.text(ctl::EditVCell1), "0");
  EXPECT_EQ(d.text(ctl::EditT1), "0");
}

TEST(UpdateCellSpread, CountFromTheFirstZeroCell) {
  struct Case {
    int nonZero;  // cells 1..nonZero hold values, the others 0
    const char* high;
    const char* low;
    const char* diff;
  };
  const Case cases[] = {
      {13, "3713", "3701", "12"}, {10, "3710", "3701", "9"}, {7, "3707", "3701", "6"},
      {8, "0", "0", "0"},         {12, "0", "0", "0"},       {3, "3703", "0", "3703"},  // seven cells
  };
  for (const Case& c : cases) {
    test::MainWindowStore controls;
    for (int i = 1; i <= 13; ++i) {
      controls.setText(ctl::kCellEdits[i - 1], i <= c.nonZero ? QString::number(3700 + i) : "0");
    }
    UpdateCellSpread(controls);
    EXPECT_EQ(controls.text(ctl::Edit_HVlot), c.high) << c.nonZero;
    EXPECT_EQ(controls.text(ctl::Edit_LVolt), c.low) << c.nonZero;
    EXPECT_EQ(controls.text(ctl::Edit_VoltDiff), c.diff) << c.nonZero;
  }
  // A box of the seven that holds no number.
  test::MainWindowStore controls;
  for (int i = 1; i <= 13; ++i) controls.setText(ctl::kCellEdits[i - 1], i == 2 ? "-5" : "0");
  controls.setText(ctl::EditVCell4, "x");
  controls.setText(ctl::Edit_HVlot, "keep");
  UpdateCellSpread(controls);
  EXPECT_EQ(controls.text(ctl::Edit_HVlot), "keep");
}

// The lookup runs in the current folder, where the table is.
class Ur74Energy : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.entered()); }
  static void writeTable(const QByteArray& lines) {
    ASSERT_TRUE(test::ScopedCurrentFolder::write(kCapacityTableFile, "Model,Wh\n" + lines));
  }

 private:
  test::ScopedCurrentFolder folder_;
};

TEST_F(Ur74Energy, BatteryEnergyAndItsShares) {
  Decoder d;
  d.controls.setText(ctl::Edit_UR96_Battery_Wh, "77");
  // No table: the last energy text stays and the shares use it.
  d.decode(Ur74Bytes().id("QV1306A15D").at(53, 100).b);
  EXPECT_EQ(d.text(ctl::Edit_UR96_Battery_Wh), "77");
  EXPECT_EQ(d.text(ctl::Edit_UR96_SOH_Wh), "77");
  EXPECT_EQ(d.text(ctl::Edit_UR96_SOC_Wh), "38");

  writeTable("QV13,50\n");
  d.decode(Ur74Bytes().id("QV1306A15D").at(53, 116).b);  // RSOC 58, ASOC 100
  EXPECT_EQ(d.text(ctl::Edit_UR96_Battery_Wh), "50");
  EXPECT_EQ(d.text(ctl::Edit_UR96_SOH_Wh), "50");
  EXPECT_EQ(d.text(ctl::Edit_UR96_SOC_Wh), "29");  // 28 in plain double
  const BatteryLookup b = d.state.battery.snapshot();
  EXPECT_EQ(b.filePresent, 1);
  EXPECT_EQ(b.keyFound, 1);
  EXPECT_EQ(b.foundValue, "50");

  // A key the table lacks, or no firmware id: the energy text stays.
  writeTable("QV13,50x\nXX,9\n");
  d.decode(Ur74Bytes().id("QV1306A15D").at(53, 100).b);
  EXPECT_EQ(d.text(ctl::Edit_UR96_Battery_Wh), "50");
  EXPECT_EQ(d.text(ctl::Edit_UR96_SOC_Wh), "25");
  d.decode(Ur74Bytes().id("xx").at(53, 100).b);
  EXPECT_EQ(d.text(ctl::Edit_UR96_Battery_Wh), "50");
}

}  // namespace
}  // namespace qv::mainwindow
