// The Function Test's settings: EVT.ini read into EVT_TEST and EVT_TEST_SET at the main window's creation and
// at a test start, the partial load that a value of no number leaves, and the failure lines of a run.

#include "app/ServiceTool.h"
#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Unit1MainForm.h"
#include "sim/SimSetups.h"
#include "support/CurrentFolder.h"

#include <gtest/gtest.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
static void PrintTo(const QByteArray& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

class EvtIni : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.entered());
    declareForm(controls, MainFormDef());
  }
  static void writeIni(const QByteArray& bytes) { ASSERT_TRUE(test::ScopedCurrentFolder::write(kEvtIniFile, bytes)); }
  std::optional<EvtIniError> load() { return LoadEvtIni(records, controls); }
  EvtTest test() const { return records.EVT_TEST.snapshot(); }
  EvtTestSet set() const { return records.EVT_TEST_SET.snapshot(); }

  Controls controls;
  SharedRecords records;

 private:
  test::ScopedCurrentFolder folder_;
};

void expectDefaults(const EvtTest& t, const EvtTestSet& s) {
  EXPECT_EQ(s.TestRepeatCnt, 0);
  EXPECT_EQ(s.DevTestNumber, 0);
  for (uint8_t flag : {s.EraseMCUIntTCCWrite, s.EraseMCUIntEEPWrite, s.EEPEraseWrite, s.BarcodeWrite, s.RTCWrite,
                       s.ShippingModeWrite, s.SleepModeWrite})
    EXPECT_EQ(flag, 0);
  EXPECT_EQ(s.BarcodeMode, -1);
  EXPECT_EQ(s.BarcodeModeENG, -1);
  EXPECT_EQ(s.Sleep_or_DeepSleepStatusWrite, -1);
  EXPECT_EQ(s.Sleep_or_DeepSleep_Status_AfterEndTest, -1);
  EXPECT_EQ(s.LogRecordCnt, 0);
  EXPECT_EQ(t.DateTimeFirstToCheckRange, 65535);
  EXPECT_EQ(evtText(t.BarcodeName), QByteArray("0"));
  EXPECT_EQ(evtText(t.ProjectName), QByteArray("0"));
  EXPECT_EQ(evtText(t.FWVer), QByteArray("0"));
  EXPECT_EQ(t.RTCTest, 0);
  EXPECT_EQ(t.T1, 0);
  EXPECT_EQ(t.CellBalance, 0);
  EXPECT_EQ(t.ShippingMode, 0);
}

TEST_F(EvtIni, WithoutTheFileTheMainWindowStartsWithEveryDefault) {
  app::ServiceTool tool(sim::makeSimDriver(""));
  const Controls& c = tool.services.controls;
  expectDefaults(tool.state.records.EVT_TEST.snapshot(), tool.state.records.EVT_TEST_SET.snapshot());
  EXPECT_EQ(c.itemIndex(ctl::RadioGroupBarcodeSelect), -1);
  EXPECT_EQ(c.text(ctl::EditEVTT1), QStringLiteral("0"));
  EXPECT_EQ(c.panel(ctl::StatusBarView, 2), QString());
  EXPECT_FALSE(EvtIniExists());
}

TEST_F(EvtIni, TheMainWindowsCreationReadsTheFileAndSaysWhereAValueIsNoNumber) {
  writeIni("[Set]\r\nBarcodeModeENG=1\r\n[Check]\r\nT1=20\r\nCellBalance=abc\r\nPackVoltMax=5\r\n");
  app::ServiceTool tool(sim::makeSimDriver(""));
  const Controls& c = tool.services.controls;
  EXPECT_EQ(c.itemIndex(ctl::RadioGroupBarcodeSelect), 1);
  EXPECT_EQ(c.text(ctl::EditEVTT1), QStringLiteral("20"));
  EXPECT_EQ(c.panel(ctl::StatusBarView, 2),
            QStringLiteral("  EVT.ini [Check] CellBalance : ''abc'' is not a valid integer value"));
  EXPECT_EQ(tool.state.records.EVT_TEST.snapshot().PackVoltMax, 0);  // after the stop: as at program start
}

// A file that gives every key a value of its own: each reaches its own field, by its kind.
TEST_F(EvtIni, EveryKeyFillsItsFieldByItsKind) {
  QByteArray file = "[Set]\n";
  int n = 100;
  for (const EvtIniKey& key : EvtIniKeys()) {
    if (qstrcmp(key.section, "Set") == 0) file += QByteArray(key.key) + "=" + QByteArray::number(n++) + "\n";
  }
  file += "[Check]\n";
  for (const EvtIniKey& key : EvtIniKeys()) {
    if (qstrcmp(key.section, "Check") == 0) file += QByteArray(key.key) + "=" + QByteArray::number(n++) + "\n";
  }
  writeIni(file);
  ASSERT_FALSE(load());
  const EvtTestSet s = set();
  const EvtTest t = test();
  // [Set] in table order: 100 to 112; flags store 1.
  EXPECT_EQ(s.TestRepeatCnt, 100);
  EXPECT_EQ(s.DevTestNumber, 101);
  EXPECT_EQ(s.EraseMCUIntTCCWrite, 1);
  EXPECT_EQ(s.EraseMCUIntEEPWrite, 1);
  EXPECT_EQ(s.EEPEraseWrite, 1);
  EXPECT_EQ(s.BarcodeWrite, 1);
  EXPECT_EQ(s.BarcodeMode, 106);
  EXPECT_EQ(s.BarcodeModeENG, 107);
  EXPECT_EQ(s.RTCWrite, 1);
  EXPECT_EQ(s.ShippingModeWrite, 1);
  EXPECT_EQ(s.SleepModeWrite, 1);
  EXPECT_EQ(s.Sleep_or_DeepSleepStatusWrite, 111);
  EXPECT_EQ(s.Sleep_or_DeepSleep_Status_AfterEndTest, 112);
  // [Check] in table order: 113 on.
  EXPECT_EQ(t.RTCTest, 1);
  EXPECT_EQ(evtText(t.BarcodeName), QByteArray("114"));
  EXPECT_EQ(evtText(t.ProjectName), QByteArray("115"));
  EXPECT_EQ(evtText(t.FWVer), QByteArray("116"));
  // clang-format off
  const int32_t numbers[] = {t.RTCAccuracyRange, t.DateTimeAccuracyRange, t.DateTimeFirstToCheckRange,
                             t.SOCMax,           t.SOCMin,                t.SOHMax,
                             t.SOHMin,           t.T1,                    t.T2,
                             t.T1Range,          t.T2Range,               t.CellVoltMax,
                             t.CellVoltMin,      t.CellBalance,           t.PackVoltMax,
                             t.PackVoltMin,      t.PackCurrentMax,        t.PackCurrentMin};
  // clang-format on
  for (size_t i = 0; i < std::size(numbers); ++i) EXPECT_EQ(numbers[i], 117 + static_cast<int>(i)) << i;
  for (uint8_t flag : {t.OVFlag, t.UVFlag, t.OCFlag, t.SCFlag, t.OTFlag, t.UTFlag}) EXPECT_EQ(flag, 1);
  EXPECT_EQ(t.CycleCnt, 141);
  EXPECT_EQ(t.ShippingMode, 1);
  EXPECT_EQ(s.LogRecordCnt, 143);  // in [Check], yet a field of EVT_TEST_SET
  // The texts' widths and the kinds as the fields give them.
  for (const EvtIniKey& key : EvtIniKeys()) {
    const QByteArray name = key.key;
    const int width = name == "FWVer" ? 31 : (name == "BarcodeName" || name == "ProjectName") ? 63 : 0;
    EXPECT_EQ(key.width(), width) << key.key;
    EXPECT_EQ(key.kind() == EvtKind::Text, width != 0) << key.key;
  }
}

TEST_F(EvtIni, ValuesStoredByKind) {
  struct Case {
    const char* line;
    int32_t EvtTest::*number;
    uint8_t EvtTest::*flag;
    int32_t want;
  };
  const Case cases[] = {
      {"ShippingMode=2", nullptr, &EvtTest::ShippingMode, 1},
      {"OVFlag=-1", nullptr, &EvtTest::OVFlag, 1},
      {"OVFlag=0", nullptr, &EvtTest::OVFlag, 0},
      {"OVFlag=\"1\"", nullptr, &EvtTest::OVFlag, 1},
      {"SOCMin=-3", &EvtTest::SOCMin, nullptr, -3},
      {"SOCMin=-2147483648", &EvtTest::SOCMin, nullptr, INT32_MIN},
      {"SOCMax = +95 ", &EvtTest::SOCMax, nullptr, 95},
  };
  for (const Case& c : cases) {
    writeIni(QByteArray("[Check]\n") + c.line + "\n");
    ASSERT_FALSE(load()) << c.line;
    const EvtTest t = test();
    EXPECT_EQ(c.number ? t.*c.number : t.*c.flag, c.want) << c.line;
  }
  writeIni("[Set]\nTestRepeatCnt=-3\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(set().TestRepeatCnt, -3);
}

TEST_F(EvtIni, TextsAreCutToTheirFieldsAndHoldOnlyTheLastValue) {
  const QByteArray seventy(70, 'P');
  writeIni("[Check]\nProjectName=" + seventy + "\nFWVer=" + QByteArray(40, 'F') + "\n");
  ASSERT_FALSE(load());
  EXPECT_EQ(evtText(test().ProjectName), QByteArray(63, 'P'));
  EXPECT_EQ(evtText(test().FWVer), QByteArray(31, 'F'));
  EXPECT_EQ(test().ProjectName.back(), '\0');

  writeIni("[Check]\nProjectName=ABCDEF\n");
  ASSERT_FALSE(load());
  writeIni("[Check]\nProjectName=XYZ\n");
  ASSERT_FALSE(load());
  const EvtTest t = test();
  EXPECT_EQ(evtText(t.ProjectName), QByteArray("XYZ"));
  EXPECT_TRUE(std::all_of(t.ProjectName.begin() + 3, t.ProjectName.end(), [](char ch) { return ch == '\0'; }));
}

TEST_F(EvtIni, TheAmbientTemperatureIsFilledOnlyWhenEmpty) {
  writeIni("[Check]\nT1=20\n");
  controls.setText(ctl::EditEVTT1, QStringLiteral("25"));
  ASSERT_FALSE(load());
  EXPECT_EQ(controls.text(ctl::EditEVTT1), QStringLiteral("25"));
  EXPECT_EQ(test().T1, 20);
  controls.setText(ctl::EditEVTT1, QString());
  ASSERT_FALSE(load());
  EXPECT_EQ(controls.text(ctl::EditEVTT1), QStringLiteral("20"));
}

TEST_F(EvtIni, TheBarcodeChoiceSelectsOnlyItsTwoItems) {
  const struct {
    const char* value;
    int index;
  } cases[] = {{"0", 0}, {"1", 1}, {"2", -1}, {"-1", -1}};
  for (const auto& c : cases) {
    controls.setItemIndex(ctl::RadioGroupBarcodeSelect, 0);
    writeIni(QByteArray("[Set]\nBarcodeModeENG=") + c.value + "\n");
    ASSERT_FALSE(load());
    EXPECT_EQ(controls.itemIndex(ctl::RadioGroupBarcodeSelect), c.index) << c.value;
    EXPECT_EQ(set().BarcodeModeENG, QByteArray(c.value).toInt());  // the field keeps the value read
  }
}

// A value of no number stops the load at its key: before it the new values, from it on the earlier ones.
TEST_F(EvtIni, AValueOfNoNumberStopsTheLoadAtItsKey) {
  writeIni("[Set]\nTestRepeatCnt=1\n[Check]\nT1=20\nT1Range=2\nCellVoltMin=3000\nCellBalance=30\nPackVoltMax=5\n"
           "ShippingMode=1\nLogRecordCnt=9\n");
  ASSERT_FALSE(load());

  const struct {
    QByteArray value;
    const char* shown;
    // clang-format off
  } bad[] = {{"abc", "abc"}, {"99999999999", "99999999999"}, {"", ""}, {"12a", "12a"},
             {QByteArray::fromHex("a4a4"), "中"},  // Big5, shown as its character
             {QByteArray(60, '7') + "x", nullptr}};
  // clang-format on
  for (const auto& b : bad) {
    controls.setText(ctl::EditEVTT1, QString());
    writeIni("[Set]\nTestRepeatCnt=2\n[Check]\nT1=21\nT1Range=4\nCellVoltMin=3100\nCellBalance=" + b.value +
             "\nPackVoltMax=6\nShippingMode=0\nLogRecordCnt=8\n");
    const std::optional<EvtIniError> error = load();
    ASSERT_TRUE(error) << b.value.toStdString();
    EXPECT_EQ(error->section, QByteArray("Check"));
    EXPECT_EQ(error->key, QByteArray("CellBalance"));
    EXPECT_EQ(error->value, b.value);
    if (b.shown) {
      EXPECT_EQ(error->message(), QStringLiteral("  EVT.ini [Check] CellBalance : ''%1'' is not a valid integer value")
                                      .arg(QString::fromUtf8(b.shown)));
    } else {
      EXPECT_TRUE(error->message().contains(QString(40, '7') + "...''")) << error->message().toStdString();
    }
    const EvtTest t = test();
    const EvtTestSet s = set();
    EXPECT_EQ(s.TestRepeatCnt, 2);
    EXPECT_EQ(t.T1, 21);
    EXPECT_EQ(t.T1Range, 4);
    EXPECT_EQ(t.CellVoltMin, 3100);
    EXPECT_EQ(controls.text(ctl::EditEVTT1), QStringLiteral("21"));
    EXPECT_EQ(t.CellBalance, 30);
    EXPECT_EQ(t.PackVoltMax, 5);
    EXPECT_EQ(t.ShippingMode, 1);
    EXPECT_EQ(s.LogRecordCnt, 9);
  }

  // A stop before the barcode choice and T1 leaves both controls as they were.
  controls.setItemIndex(ctl::RadioGroupBarcodeSelect, 1);
  controls.setText(ctl::EditEVTT1, QString());
  writeIni("[Set]\nTestRepeatCnt=x\nBarcodeModeENG=0\n[Check]\nT1=30\n");
  ASSERT_TRUE(load());
  EXPECT_EQ(controls.itemIndex(ctl::RadioGroupBarcodeSelect), 1);
  EXPECT_EQ(controls.text(ctl::EditEVTT1), QString());
  EXPECT_EQ(set().BarcodeModeENG, -1);  // as the load before left it
}

TEST_F(EvtIni, ATestStartRunsOnlyWithAWholeFile) {
  controls.setItemIndex(ctl::RadioGroupBarcodeSelect, 0);
  records.EVT_TEST_SET.with([](EvtTestSet& s) { s.TestRepeatCnt = 7; });
  EXPECT_FALSE(LoadEvtIniForRun(records, controls));  // no file: nothing read, nothing said
  EXPECT_EQ(set().TestRepeatCnt, 7);
  EXPECT_EQ(controls.itemIndex(ctl::RadioGroupBarcodeSelect), 0);
  EXPECT_EQ(controls.panel(ctl::StatusBarView, 2), QString());

  writeIni("[Set]\nTestRepeatCnt=3\n[Check]\nSOCMax=abc\n");
  EXPECT_FALSE(LoadEvtIniForRun(records, controls));
  EXPECT_EQ(set().TestRepeatCnt, 3);
  EXPECT_EQ(controls.panel(ctl::StatusBarView, 2),
            QStringLiteral("  EVT.ini [Check] SOCMax : ''abc'' is not a valid integer value"));

  writeIni("[Set]\nTestRepeatCnt=4\n");
  EXPECT_TRUE(EvtIniExists());
  EXPECT_TRUE(LoadEvtIniForRun(records, controls));
  EXPECT_EQ(set().TestRepeatCnt, 4);
}

TEST_F(EvtIni, AFileThatCannotBeReadGivesTheDefaultsAndIsNamed) {
  ASSERT_TRUE(QDir().mkdir(QString::fromLatin1(kEvtIniFile)));  // a folder where the file should be
  records.EVT_TEST_SET.with([](EvtTestSet& s) { s.BarcodeMode = 3; });
  LoadEvtIniAtStartUp(records, controls);
  expectDefaults(test(), set());
  EXPECT_EQ(controls.panel(ctl::StatusBarView, 2), QStringLiteral("  EVT.ini cannot be read."));
  EXPECT_FALSE(LoadEvtIniForRun(records, controls));
}

TEST(EvtFailLines, SlotsFromOneToTwoHundredFiftyFiveAndTheCountGoesOn) {
  EvtTest t;
  for (int i = 1; i <= 300; ++i) t.AddFailLine(QStringLiteral("%1.  NG").arg(i));
  EXPECT_EQ(t.FailCount, 300);
  EXPECT_EQ(t.FailLinesStored(), 255);
  EXPECT_EQ(t.FailLinesLeftOut(), 45);
  EXPECT_TRUE(t.FailLines[0].isEmpty());
  EXPECT_EQ(t.FailLines[1], QStringLiteral("1.  NG"));
  EXPECT_EQ(t.FailLines[255], QStringLiteral("255.  NG"));

  t.FailCount = 0;  // a new run
  t.AddFailLine(QStringLiteral("again"));
  EXPECT_EQ(t.FailLinesStored(), 1);
  EXPECT_EQ(t.FailLinesLeftOut(), 0);
  EXPECT_EQ(t.FailLines[1], QStringLiteral("again"));
}

}  // namespace
}  // namespace qv::mainwindow
