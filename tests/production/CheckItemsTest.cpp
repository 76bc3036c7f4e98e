// The check items over the simulated CAN pack: a pack within every limit, packs outside each limit in turn,
// a pack that answers only with its broadcasts, a barcode an earlier read left behind, series counts the
// check cannot take, the clock, and a field that holds no number. An item passes only on what the pack
// answered during its own reads.

#include "FunctionTestRig.h"

namespace qv {
namespace {

using test::EvtIni;
using test::FunctionTestRig;
namespace fctl = mainwindow::ctl;

const QString kSep(59, QLatin1Char('-'));

// Limits that the simulated pack's default state meets, one repetition, the clock check off.
EvtIni withinLimits() {
  EvtIni ini;
  ini.repeat = 1;
  ini.barcodeMode = 2;
  ini.afterEnd = 0;
  ini.check = "ProjectName=QVX48-13S4P-A001\r\nFWVer=1.12\r\nSOCMax=100\r\nSOCMin=10\r\nSOHMax=100\r\nSOHMin=90\r\n"
              "T1Range=2\r\nCellVoltMax=3400\r\nCellVoltMin=3200\r\nCellBalance=20\r\nPackVoltMax=45000\r\n"
              "PackVoltMin=40000\r\nPackCurrentMax=0\r\nPackCurrentMin=-2000\r\nShippingMode=0\r\n";
  return ini;
}

void preparePack(FunctionTestRig& rig) {
  sim::CanPackState s = rig.pack->state();
  s.barcode32 = QByteArray("BC-0001") + QByteArray(25, '\0');
  rig.pack->setState(s);
}

QStringList withinLimitLines() {
  QStringList lines = {QStringLiteral("自動檢測開始  :  第1次"),
                       QString(),
                       "3.  Barcode  :  BC-0001  Test  :  ",
                       "  [ BC-0001 ]  ........  PASS",
                       QString(),
                       "4.  Project Name  :  QVX48-13S4P-A001  Test  :  ",
                       "  [ QVX48-13S4P-A001 ]  ........  PASS",
                       QString(),
                       "5.  FW Version  :  1.12  Test  :  ",
                       "  [ 1.12 ]  ........  PASS",
                       QString(),
                       "6.  SOC : 100 % to 10 %  Test  :  ",
                       "  [ 80 % ]  ........  PASS",
                       QString(),
                       "7.  SOH : 100 % to 90 %  Test  :  ",
                       "  [ 98 % ]  ........  PASS",
                       QString(),
                       QStringLiteral("8.  T1 Range : 27 ℃ to 23 ℃  Test  :  "),
                       QStringLiteral("  [ 25 ℃ ]  ........  PASS"),
                       QString()};
  for (int i = 1; i <= 13; ++i) {
    lines << QString() << QStringLiteral("%1.  Cell Volt %2 Range : 3400 mV to 3200 mV  Test  :  ").arg(8 + i).arg(i)
          << QStringLiteral("  [ %1 mV ]  ........  PASS").arg(3299 + i);
  }
  // clang-format off
  lines << QString() << "22.  Balance Range  :  20 mV  Test  :  " << "  [ 12 mV ]  ........  PASS" << QString()
        << "23.  Pack Volt Range : 45000 mV to 40000 mV  Test  :  " << "  [ 42900 mV ]  ........  PASS" << QString()
        << "24.  Pack Current Range : 0 mA to -2000 mA  Test  :  " << "  [ -1500 mA ]  ........  PASS" << QString()
        << "25.  Read Shipping Mode : 0  Test  :  " << "  [ Shipping Mode  :  0]  ........  PASS";
  // clang-format on
  int n = 26;
  for (const char* f : {"OV", "UV", "OC", "SC", "OT", "UT"}) {
    lines << QString() << QStringLiteral("%1.  %2 Flag : 0  Test  :  ").arg(n++).arg(QLatin1String(f))
          << "  [ 0 ]  ........  PASS";
  }
  lines << "32.  Last CMD : none.";
  return lines;
}

TEST(FunctionTestChecks, PackWithinEveryLimit) {
  FunctionTestRig rig;
  rig.writeIni(withinLimits());
  preparePack(rig);
  rig.run();
  const QStringList expected = withinLimitLines();
  EXPECT_EQ(rig.memoFrom(QStringLiteral("自動檢測開始"), static_cast<int>(expected.size())), expected);
  EXPECT_TRUE(rig.failLines().isEmpty()) << rig.failLines().join('\n').toStdString();
  EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "PASS");
  EXPECT_EQ(rig.controls().text(fctl::Edit_HVlot), "3312");
  EXPECT_EQ(rig.controls().text(fctl::Edit_LVolt), "3300");
  EXPECT_EQ(rig.controls().text(fctl::Label_ShippingMode_RX_CMD), "CMD : OK");
}

// Each case moves the pack (or the setting) outside one limit: that item is NG with its failure line, and
// every other item still passes.
TEST(FunctionTestChecks, PackOutsideEachLimitInTurn) {
  const struct {
    const char* name;
    std::function<void(sim::CanPackState&)> pack;
    QByteArray check;  // replaces the setting of the same key
    QString ngLine;
    QString failLine;
  } cases[] = {
      // clang-format off
      {"barcode", [](sim::CanPackState& s) { s.barcode32 = QByteArray("BC-0002") + QByteArray(25, '\0'); }, {},
       "  [ BC-0002 ]  ........  NG", "3.  Barcode  :  [ BC-0002 ]  ........  NG"},
      {"model", [](sim::CanPackState& s) { s.modelName = "QVX48-13S4P-B001"; }, {},
       "  [ QVX48-13S4P-B001 ]  ........  NG", "4.  Project Name  :  [ QVX48-13S4P-B001 ]  ........  NG"},
      {"firmware", [](sim::CanPackState& s) { s.fwMinor = 13; }, {}, "  [ 1.13 ]  ........  NG",
       "5.  FW Version  :  [ 1.13 ]  ........  NG"},
      {"SOC below", [](sim::CanPackState& s) { s.rsoc = 9; }, {}, "  [  9 % ]  ........  NG",
       "6.  SOC :  [ 9 % ]  ........  NG"},
      {"SOH above", {}, "SOHMax=97", "  [  98 % ]  ........  NG", "7.  SOH :  [ 98 % ]  ........  NG"},
      {"T1 above", [](sim::CanPackState& s) { s.t1 = 28; }, {}, QStringLiteral("  [ 28 ℃ ]  ........  NG"),
       QStringLiteral("8.  T1 Range :  [ 28 ℃ ]  ........  NG")},
      {"cell below", [](sim::CanPackState& s) { s.cells[4] = 3199; }, "CellBalance=200", "  [ 3199 mV ]  ........  NG",
       "13.  Cell Volt 5 Range :  [ 3199 mV ]  ........  NG"},
      {"balance", {}, "CellBalance=11", "  [ 12 ]  ........  NG", "22.  Balance Range  :  [ 12 ]  ........  NG"},
      {"pack voltage", [](sim::CanPackState& s) { s.packVoltage = 45001; }, {}, "  [ 45001 mV ]  ........  NG",
       "23.  Pack Volt Range :  [ 45001 mV ]  ........  NG"},
      {"pack current", [](sim::CanPackState& s) { s.packCurrent = -2001; }, {}, "  [ -2001 mA ]  ........  NG",
       "24.  Pack Current Range :  [ -2001 mA ]  ........  NG"},
      {"shipping mode", [](sim::CanPackState& s) { s.shippingMode = true; }, {}, "  [ Shipping Mode  :  1]  ........  NG",
       "25.    [ Read Shipping Mode ]  ........  NG"},
      {"OV", [](sim::CanPackState& s) { s.protectionFlags = 0x01; }, {}, "  [ 1 ]  ........  NG",
       "26.  OV Flag :  [ 1 ]  ........  NG"},
      {"UV", [](sim::CanPackState& s) { s.protectionFlags = 0x02; }, {}, "  [ 1 ]  ........  NG",
       "27.  UV Flag :   [ 1 ]  ........  NG"},
      {"SC", [](sim::CanPackState& s) { s.protectionFlags2 = 0x01; }, {}, " [  1 ]  ........  NG",
       "29.  SC Flag :  [ 1 ]  ........  NG"},
      {"UT expected set", {}, "UTFlag=1", "  [ 0 ]  ........  NG", "31.  UT Flag :  [ 0 ]  ........  NG"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FunctionTestRig rig;
    EvtIni ini = withinLimits();
    // The first of two keys of the same name is the one read.
    if (!c.check.isEmpty()) ini.check = c.check + "\r\n" + ini.check;
    rig.writeIni(ini);
    preparePack(rig);
    if (c.pack) {
      sim::CanPackState s = rig.pack->state();
      c.pack(s);
      rig.pack->setState(s);
    }
    rig.run();
    EXPECT_EQ(rig.failLines(), QStringList{c.failLine});
    EXPECT_TRUE(rig.memo().contains(c.ngLine)) << c.ngLine.toStdString();
    EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "FAIL");
  }
}

TEST(FunctionTestChecks, PackThatAnswersOnlyWithBroadcasts) {
  FunctionTestRig rig;
  rig.writeIni(withinLimits());
  preparePack(rig);
  sim::CanPackFaults silent;
  silent.silent = true;
  rig.pack->setFaults(silent);
  // Values an earlier monitoring run left in the fields, each within its limits.
  rig.tool->state.records.EVT_TEST_SET.with([](mainwindow::EvtTestSet& set) { set.CellSeries = 13; });
  for (Control cell : fctl::kCellEdits) rig.controls().setText(cell, QStringLiteral("3300"));
  rig.run();
  const QStringList fails = rig.failLines();
  // What the broadcasts keep current passes; every item that needs an answer of this run is NG, the cells and
  // the five flags after OV included, whatever the fields still hold.
  for (const char* item :
       {"Barcode", "Project Name", "FW Version", "SOC", "SOH", "T1 Range", "Cell Voltage Series Read", "Cell Volt 1 ",
        "Cell Volt 13 ", "Balance Range", "Read Shipping Mode", "OV Flag", "UT Flag"}) {
    EXPECT_TRUE(fails.join('\n').contains(QLatin1String(item))) << item;
  }
  EXPECT_FALSE(fails.join('\n').contains(QLatin1String("Pack Volt"))) << fails.join('\n').toStdString();
  EXPECT_FALSE(fails.join('\n').contains(QLatin1String("Pack Current")));
  EXPECT_EQ(rig.controls().text(fctl::Label_ShippingMode_RX_CMD), "CMD : Timeout");
}

TEST(FunctionTestChecks, BarcodeLeftByAnEarlierReadIsNg) {
  FunctionTestRig rig;
  rig.writeIni(withinLimits());
  preparePack(rig);
  // An earlier read left this pack's barcode (or the one before it) in the buffer; the pack no longer answers.
  mainwindow::BarcodeField stale{};
  std::copy_n("BC-0001", 7, stale.begin());
  rig.tool->state.records.CanBarcodeBuffer.set(stale);
  sim::CanPackFaults faults;
  faults.unanswered = {{0x200A, sim::CanPack::kAnyIndex}};
  rig.pack->setFaults(faults);
  rig.run();
  EXPECT_EQ(rig.failLines(), QStringList{"3.  Barcode  :  [  ]  ........  NG"});
  // Without a read (mode 1) nothing of this pack is compared either.
  EvtIni ini = withinLimits();
  ini.barcodeMode = 1;
  rig.writeIni(ini);
  rig.tool->state.records.CanBarcodeBuffer.set(stale);
  rig.controls().setText(fctl::Edit_EVTBarcode, QStringLiteral("BC-0001"));
  rig.run();
  EXPECT_EQ(rig.failLines(), QStringList{"3.  Barcode  :  [ BC-0001 ]  ........  NG"});
}

TEST(FunctionTestChecks, SeriesCountsTheCheckCannotTake) {
  const struct {
    uint8_t series;
    int cellSteps;
  } cases[] = {{0, 0}, {20, 13}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.series);
    FunctionTestRig rig;
    rig.writeIni(withinLimits());
    preparePack(rig);
    sim::CanPackState s = rig.pack->state();
    s.cellsInSeries = c.series;
    rig.pack->setState(s);
    rig.run();
    EXPECT_EQ(rig.failLines(), QStringList{"8.  Cell Voltage Series Read :  ........  NG"});
    int steps = 0;
    for (const QString& l : rig.memo()) steps += l.contains(QLatin1String(" Cell Volt ")) ? 1 : 0;
    EXPECT_EQ(steps, c.cellSteps);
    EXPECT_TRUE(rig.memo().contains(QStringLiteral("%1.  Balance Range  :  20 mV  Test  :  ").arg(9 + c.cellSteps)));
  }
}

TEST(FunctionTestChecks, ClockAgainstThePcsTime) {
  const struct {
    const char* name;
    int behind;   // seconds the pack is behind the PC
    bool answer;  // the pack answers the clock request
    bool pass;
  } cases[] = {{"3 s behind", 3, true, true}, {"4 s behind", 4, true, false}, {"no answer", 0, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FunctionTestRig rig;
    EvtIni ini = withinLimits();
    ini.check = "RTCTest=1\r\nDateTimeAccuracyRange=3\r\n" + ini.check;
    rig.writeIni(ini);
    preparePack(rig);
    if (!c.answer) {
      sim::CanPackFaults faults;
      faults.unanswered = {{0x1005, 0}};
      rig.pack->setFaults(faults);
    }
    platform::setFixedNow(QDateTime(QDate(2024, 5, 7), QTime(9, 5, 3)));
    // The pack's clock is set just before it is asked, the set number of seconds behind the PC's.
    auto ask = rig.tool->functionTest.actions.requestRtc;
    rig.tool->functionTest.actions.requestRtc = [&, ask] {
      // The clock starts again at a whole second here, so a loaded machine has most of a second from here to the
      // check before the PC's seconds move on.
      platform::setFixedNow(QDateTime(QDate(2024, 5, 7), QTime(9, 5, 3)));
      const QDateTime t = platform::now().addSecs(-c.behind);
      sim::CanPackState s = rig.pack->state();
      s.clock = {static_cast<uint8_t>(t.date().year() - 2000), static_cast<uint8_t>(t.date().month()),
                 static_cast<uint8_t>(t.date().day()),         static_cast<uint8_t>(t.time().hour()),
                 static_cast<uint8_t>(t.time().minute()),      static_cast<uint8_t>(t.time().second())};
      rig.pack->setState(s);
      ask();
    };
    rig.run();
    platform::setFixedNow(QDateTime());
    const QStringList lines = rig.memoFrom("6.  PC RTC : 2024.05.07  09:05:0", 6);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[4], "Check Total Second Range  : 3 sec.");
    if (c.answer) {
      EXPECT_EQ(lines[3], QStringLiteral("Total Second Range : %1").arg(c.behind));
      EXPECT_TRUE(lines[5].startsWith("  [ 2024.5.7  9:")) << lines[5].toStdString();
    } else {
      EXPECT_EQ(lines[5], "  [ 0.0.0  0:0:0 ]  ........  NG");
    }
    EXPECT_EQ(rig.failLines().isEmpty(), c.pass) << rig.failLines().join('\n').toStdString();
  }
}

// The ambient temperature holds digits alone: EVT.ini's T1 of -5 does not go into the empty edit, which then holds
// no number.
TEST(FunctionTestChecks, AFieldThatHoldsNoNumberMakesItsItemNg) {
  FunctionTestRig rig;
  EvtIni ini = withinLimits();
  ini.check = "T1=-5\r\n" + ini.check;
  rig.writeIni(ini);
  preparePack(rig);
  rig.controls().setText(fctl::EditEVTT1, QString());
  rig.run();
  EXPECT_TRUE(rig.controls().text(fctl::EditEVTT1).isEmpty());
  EXPECT_EQ(rig.failLines(), QStringList{QStringLiteral("8.  T1 Range :  [ 25 ℃ ]  ........  NG")});
  EXPECT_TRUE(rig.memo().contains(QStringLiteral("8.  T1 Range : NULL ℃ to NULL ℃  Test  :  ")));
}

}  // namespace
}  // namespace qv
