#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"
#include "support/BareStore.h"
#include "support/CurrentFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <random>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

// Runs each test in a folder of its own, which is where the table is looked for.
class CapacityTable : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.entered()); }

  static void writeTable(const QByteArray& bytes) {
    ASSERT_TRUE(test::ScopedCurrentFolder::write(kCapacityTableFile, bytes));
  }
  // The table with a header line in front.
  static void writeLines(const QByteArray& lines) { writeTable("Model,Wh\n" + lines); }

  QByteArray lookup(const QByteArray& key) {
    const int found = LookupCsvValue(battery_, kCapacityTableFile, key);
    const BatteryLookup b = battery_.snapshot();
    EXPECT_EQ(found == 1, !b.foundValue.isEmpty()) << key.constData();
    return found == 1 ? b.foundValue : QByteArray("<none>");
  }

  Guarded<BatteryLookup> battery_;

 private:
  test::ScopedCurrentFolder folder_;
};

TEST_F(CapacityTable, MatchesByPrefixFirstLineWinsBlanksDropped) {
  struct Case {
    const char* lines;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"AB,12.5\n", "AB1004", "12.5"},
      {"AB,12.5\n", "A", "<none>"},  // a table key longer than the wanted key
      {"A,1\nAB,2\n", "AB77", "1"},  // the first matching line wins
      {"A B , 1 2\n", "AB9", "12"},  // blanks dropped anywhere
      {"AB,12,34\n", "AB", "1234"},  // later columns join the value
      {"AB\t,\t5\r\n", "AB", "5"},   // TAB and CR dropped
      {",5\nAB,6\n", "AB", "6"},     // an empty key never matches
      {"ab,1\n", "AB", "<none>"},    // case-sensitive
      {"AB,1\n", "", "<none>"},      // an empty wanted key never matches
      {"AB,3", "AB", "3"},           // the last line without its LF counts
      {"X,1\nAB,3", "AB", "3"},
      {"\n\n", "AB", "<none>"},
  };
  for (const Case& c : cases) {
    writeLines(c.lines);
    EXPECT_EQ(lookup(c.key), c.value) << c.lines << " / " << c.key;
  }
}

TEST_F(CapacityTable, HeaderNeverMatchesAndBadLinesArePassedOver) {
  writeTable("AB,1\n");
  EXPECT_EQ(lookup("AB"), "<none>");
  writeTable("AB,1");  // a header alone, without LF
  EXPECT_EQ(lookup("AB"), "<none>");

  // A line without a value, a value that is no energy, a negative one: passed over for the next match.
  writeLines("AB\nAB,x12\nAB,-3\nAB,,\nAB,40\n");
  EXPECT_EQ(lookup("AB1"), "40");

  // A NUL or a blank outside ASCII beside the digits makes no number of the value, however a box would read it.
  // clang-format off
  for (const QByteArray& value : {QByteArray("7\0xyz", 5), QByteArray("7\0", 2), QByteArray("\xA0" "7"),
                                  QByteArray("7\xA0"), QByteArray("7\x85"), QByteArray("1\x0B")}) {
    // clang-format on
    writeLines("AB," + value + "\nAB,40\n");
    EXPECT_EQ(lookup("AB1"), "40") << value.toHex().constData();
  }

  // A line longer than any key or value can be is passed over, whole.
  writeLines(QByteArray(100000, 'A') + ",9\n" + "AB," + QByteArray(300, '7') + "\nA,4\n");
  EXPECT_EQ(lookup(QByteArray(100000, 'A')), "4");
}

TEST_F(CapacityTable, StateAfterLookupsAndLinesReadGrows) {
  writeLines("A1,1\nB2,2\nC3,3\n");
  EXPECT_EQ(LookupCsvValue(battery_, kCapacityTableFile, "B2x"), 1);
  BatteryLookup b = battery_.snapshot();
  EXPECT_EQ(b.keyText, "B2");
  EXPECT_EQ(b.valueText, "2");
  EXPECT_EQ(b.foundValue, "2");
  EXPECT_EQ(b.linesRead, 3);  // the header's LF and the two lines up to the match

  EXPECT_EQ(LookupCsvValue(battery_, kCapacityTableFile, "ZZ"), 0);
  b = battery_.snapshot();
  EXPECT_TRUE(b.keyText.isEmpty());
  EXPECT_TRUE(b.valueText.isEmpty());
  EXPECT_TRUE(b.foundValue.isEmpty());
  EXPECT_EQ(b.linesRead, 3 + 4);

  // The callers' lookup starts from a cleared state and records what it found.
  const auto found = LookupCapacity(battery_, "C3-77");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, "3");
  b = battery_.snapshot();
  EXPECT_EQ(b.filePresent, 1);
  EXPECT_EQ(b.keyFound, 1);
  EXPECT_EQ(b.linesRead, 4);

  EXPECT_FALSE(LookupCapacity(battery_, "").has_value());
  b = battery_.snapshot();
  EXPECT_EQ(b.filePresent, 1);
  EXPECT_EQ(b.keyFound, 0);
  EXPECT_EQ(b.linesRead, 0);
}

TEST_F(CapacityTable, MissingOrUnreadableTable) {
  EXPECT_FALSE(CapacityFileExists(kCapacityTableFile));
  EXPECT_EQ(LookupCsvValue(battery_, kCapacityTableFile, "AB"), 0);
  EXPECT_FALSE(LookupCapacity(battery_, "AB").has_value());
  EXPECT_EQ(battery_.snapshot().filePresent, 0);

  ASSERT_TRUE(QDir().mkdir(kCapacityTableFile));  // a folder of that name is no table
  EXPECT_FALSE(CapacityFileExists(kCapacityTableFile));
  EXPECT_EQ(LookupCsvValue(battery_, kCapacityTableFile, "AB"), 0);
}

TEST_F(CapacityTable, AnyBytesBeforeTheMatchingLineNeitherMatchNorHideIt) {
  // Lines of any bytes but 'A': none of their keys can be a prefix of the wanted key, however they are cut.
  const QByteArray wanted(20, 'A');
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    QByteArray junk(4096, '\0');
    for (char& c : junk) {
      c = static_cast<char>(random() % 8 == 0 ? '\n' : random() % 8 == 0 ? ',' : random());
      if (c == 'A') c = 'B';
    }
    writeTable(junk);
    EXPECT_EQ(lookup(wanted), "<none>") << round;
    const QByteArray value = QByteArray::number(round) + ".5";
    writeTable(junk + "\nAAAA," + value + "\n");
    EXPECT_EQ(lookup(wanted), value) << round;
  }
}

TEST(UrEnergy, ExtendedPrecisionTruncatesToTheExactShare) {
  struct Case {
    const char* wh;
    const char* asoc;
    const char* rsoc;
    const char* soh;  // expected texts
    const char* soc;
  };
  const Case cases[] = {
      // clang-format off
      {"50", "58", "100", "29", "29"},    // in double: 28
      {"100", "29", "100", "29", "29"},   // in double: 28
      {"100", "58", "50", "58", "29"},    // the state-of-charge share, in double: 28
      {"100", "100", "29", "100", "29"},
      {"12.5", "100", "50", "12", "6"},
      {"0", "100", "100", "0", "0"},
      // clang-format on
  };
  for (const Case& c : cases) {
    test::MainWindowStore controls;
    controls.setText(ctl::Edit_UR96_Battery_Wh, c.wh);
    controls.setText(ctl::EditASOC, c.asoc);
    controls.setText(ctl::EditRSOC, c.rsoc);
    ShowUrSohEnergy(controls);
    ShowUrSocEnergy(controls);
    EXPECT_EQ(controls.text(ctl::Edit_UR96_SOH_Wh), c.soh) << c.wh << " " << c.asoc;
    EXPECT_EQ(controls.text(ctl::Edit_UR96_SOC_Wh), c.soc) << c.wh << " " << c.asoc << " " << c.rsoc;
  }
}

TEST(UrEnergy, NoNumberLeavesTheResultBoxes) {
  // clang-format off
  for (const char* wh : {"", "12a", "x", "7\xA0" "1"}) {
    // clang-format on
    test::MainWindowStore controls;
    controls.setText(ctl::Edit_UR96_SOH_Wh, "7");
    controls.setText(ctl::Edit_UR96_SOC_Wh, "8");
    controls.setText(ctl::Edit_UR96_Battery_Wh, wh);
    controls.setText(ctl::EditASOC, "100");
    controls.setText(ctl::EditRSOC, "100");
    ShowUrSohEnergy(controls);
    ShowUrSocEnergy(controls);
    EXPECT_EQ(controls.text(ctl::Edit_UR96_SOH_Wh), "7") << wh;
    EXPECT_EQ(controls.text(ctl::Edit_UR96_SOC_Wh), "8") << wh;
  }
  test::MainWindowStore controls;
  controls.setText(ctl::Edit_UR96_Battery_Wh, "50");
  controls.setText(ctl::EditASOC, "58");
  controls.setText(ctl::EditRSOC, "");
  controls.setText(ctl::Edit_UR96_SOC_Wh, "8");
  ShowUrSocEnergy(controls);
  EXPECT_EQ(controls.text(ctl::Edit_UR96_SOC_Wh), "8");
}

// A table energy so large that a share cannot be shown empties the share's box: the previous pack's value
// must not stand beside this pack's energy.
TEST(UrEnergy, AShareTooLargeToShowEmptiesItsBox) {
  const struct {
    const char* wh;
    const char* rsoc;
    bool sohShown;
    bool socShown;
  } cases[] = {
      {"1e30", "100", false, false},
      {"1e4000", "100", false, false},  // beyond double, within long double
      {"6e18", "200", true, false},     // the health share fits, the charge share does not
      {"6e18", "50", true, true},
  };
  for (const auto& c : cases) {
    test::MainWindowStore controls;
    controls.setText(ctl::Edit_UR96_SOH_Wh, "7");
    controls.setText(ctl::Edit_UR96_SOC_Wh, "8");
    controls.setText(ctl::Edit_UR96_Battery_Wh, c.wh);
    controls.setText(ctl::EditASOC, "100");
    controls.setText(ctl::EditRSOC, c.rsoc);
    ShowUrSohEnergy(controls);
    ShowUrSocEnergy(controls);
    const QString soh = controls.text(ctl::Edit_UR96_SOH_Wh), soc = controls.text(ctl::Edit_UR96_SOC_Wh);
    EXPECT_EQ(soh.isEmpty(), !c.sohShown) << c.wh << " " << c.rsoc;
    EXPECT_EQ(soc.isEmpty(), !c.socShown) << c.wh << " " << c.rsoc;
    EXPECT_NE(soh, "7");
    EXPECT_NE(soc, "8");
  }
}

}  // namespace
}  // namespace qv::mainwindow
