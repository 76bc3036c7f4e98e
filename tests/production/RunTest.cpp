// The run of the Function Test and its writing steps over the simulated CAN pack: the memo line by line for
// an EVT.ini that switches every writing step on and for one that switches them all off, a pack that refuses
// its writes, STOP while the operator is being asked, a click while the run winds down, and the start checks.

#include "FunctionTestRig.h"

#include "platform/Text.h"
#include "production/FunctionTest.h"

namespace qv {
namespace {

using test::EvtIni;
using test::FunctionTestRig;
namespace fctl = mainwindow::ctl;

const QString kSep(59, QLatin1Char('-'));

// The memo from its fifth line (after the head) to the hand-over, with the steps as they are numbered here.
QStringList writingLines(bool pass, const QString& adapter, const QString& rtcText) {
  const QString r = pass ? QStringLiteral("PASS") : QStringLiteral("NG");
  return {QString(),
          "1.  Device  :  " + adapter + "  Test  : ",
          "  [ " + adapter + " ]  :  ........  PASS",
          QString(),
          "2.  Communication Test  :  ",
          QStringLiteral(" 每100ms讀取一次"),
          QStringLiteral("第1次 , The first communication test : Pass."),
          "  [ Communication exist ]  ........  PASS",
          QString(),
          kSep,
          QStringLiteral("清除 MCU 內部 Total Charge Capacity 開始  :  "),
          QString(),
          "3.  Erase MCU Total Charge Capacity  :  ",
          "  [ Erase MCU Total Charge Capacity ]  ........  " + r,
          QString(),
          kSep,
          QStringLiteral("清除 MCU 內部 EEPROM 開始  :  "),
          QString(),
          "4.  Erase MCU Internal EEPROM  :  ",
          "  [ Erase MCU Internal EEPROM ]  ........  " + r,
          QString(),
          kSep,
          QStringLiteral("清除 MCU 外部EEPROM 開始  :  "),
          QString(),
          "5.  Erase MCU External EEPROM  :  ",
          "  [ EEPROM Erase ]  ........  " + r,
          QString(),
          "6.  RTC Set  :  ",
          "RTC Set  :  " + rtcText,
          "  [ RTC Set ]  ........  " + r,
          QString(),
          "7.  Barcode Write  :  BC-0001",
          "  [ Barcode Write ]  ........  " + r,
          QString(),
          "8.  Shipping Mode Write  :  1",
          "  [ Shipping Mode Write  :  1]  ........  " + r,
          " ",
          "9.  Sleep Command Write  :  BMS enter the sleep status",
          "  [ BMS enter to sleep test  ]  ........  PASS",
          "10.  BMS wake up test from sleep  :  ",
          "  [ BMS wake up test  ]  ........  NG",
          " ",
          kSep,
          QStringLiteral("自動檢測共  0  次")};
}

EvtIni everyWritingStep() {
  EvtIni ini;
  ini.tcc = ini.iep = ini.eep = ini.barcode = ini.rtc = ini.shipping = 1;
  ini.barcodeMode = 2;
  ini.sleep = 1;
  ini.check = "ShippingMode=1\r\n";
  return ini;
}

TEST(FunctionTestRun, EveryWritingStepOn) {
  FunctionTestRig rig;
  rig.writeIni(everyWritingStep());
  rig.op.script({true, false});
  rig.run();

  const QStringList memo = rig.memo();
  ASSERT_GE(memo.size(), 4);
  EXPECT_EQ(memo[0], rig.controls().text(fctl::FormMain) + "  Function  Test  Report  ...... ");
  EXPECT_TRUE(memo[1].startsWith(QStringLiteral("自動檢測起始日期與時間  :  "))) << memo[1].toStdString();
  EXPECT_EQ(memo[1].size(), QStringLiteral("自動檢測起始日期與時間  :  yyyy-mm-dd , hh:nn:ss").size());
  EXPECT_EQ(memo[2], QString());
  EXPECT_EQ(memo[3], "Work Number  :  WN-01");
  const QString adapter = rig.controls().selectedItemText(link::ctl::CobBoxInterfaceName);
  EXPECT_EQ(memo.mid(4, 44), writingLines(true, adapter, rig.controls().text(fctl::Edit_RTC_CAN_ENG)));
  EXPECT_FALSE(rig.controls().text(fctl::Edit_RTC_CAN_ENG).isEmpty());

  const sim::CanPackState s = rig.pack->state();
  EXPECT_EQ(s.totalChargeErases, 1);
  EXPECT_EQ(s.internalEepromErases, 1);
  EXPECT_EQ(s.externalEepromErases, 1);
  EXPECT_EQ(s.barcode32.left(8), QByteArray("BC-0001") + '\0');
  EXPECT_TRUE(s.shippingMode);
  EXPECT_EQ(rig.controls().text(fctl::EditBarCode32), "BC-0001");
  EXPECT_EQ(rig.failLines(), QStringList{"10.  " + QStringLiteral("  [  BMS wake up test  ]  ........  NG")});
  const auto questions = rig.op.questions();
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0],
            std::pair(QStringLiteral("   BMS Sleep command 後確認.   "), QStringLiteral("   BMS 已經 Sleep?   ")));
  EXPECT_EQ(questions[1],
            std::pair(QStringLiteral("   BMS Wake up 後確認.   "), QStringLiteral("  BMS 已經 Wake up?   ")));
  // The run gave the adapter back and the page is idle again.
  EXPECT_EQ(rig.link().AdapterHandle.load(), 0u);
  EXPECT_FALSE(rig.link().canSessionHeld());
  EXPECT_EQ(rig.controls().text(fctl::SpdBtn_EVTTest), "TEST");
  EXPECT_TRUE(rig.controls().enabled(fctl::SpdBtnRUN));
  EXPECT_TRUE(rig.controls().enabled(fctl::SpdBtnConfigure));
  EXPECT_TRUE(rig.controls().enabled(fctl::Timer_300h_ON)) << "the keep-alive stays on";
}

TEST(FunctionTestRun, RefusingPackMakesEveryWriteNg) {
  FunctionTestRig rig;
  rig.writeIni(everyWritingStep());
  sim::CanPackFaults refuse;
  for (uint16_t id : {0x4101, 0x4102, 0x4103, 0x4006, 0x4009, 0x4209})
    refuse.refused.push_back({id, sim::CanPack::kAnyIndex, -1, 0x01});
  rig.pack->setFaults(refuse);
  rig.op.script({true, false});
  rig.run();

  EXPECT_EQ(rig.memo().mid(4, 44), writingLines(false, rig.controls().selectedItemText(link::ctl::CobBoxInterfaceName),
                                                rig.controls().text(fctl::Edit_RTC_CAN_ENG)));
  EXPECT_EQ(
      rig.failLines(),
      (QStringList{"3.    [ Erase MCU Total Charge Capacity ]  ........  NG",
                   "4.    [ Erase MCU Internal EEPROM ]  ........  NG", "5.    [ EEPROM Erase ]  ........  NG",
                   "6.    [ RTC Set ]  ........  NG", "7.    [ Barcode Write ]  ........  NG",
                   "8.    [ Shipping Mode Write ]  ........  NG", "10.    [  BMS wake up test  ]  ........  NG"}));
  EXPECT_FALSE(rig.pack->state().shippingMode);
}

TEST(FunctionTestRun, EveryWritingStepOff) {
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  rig.run();
  const QStringList expected = {QString(), kSep, QStringLiteral("清除 MCU 內部 Total Charge Capacity 開始  :  "),
                                QString(), kSep, QStringLiteral("清除 MCU 內部 EEPROM 開始  :  "),
                                QString(), kSep, QStringLiteral("清除 MCU 外部EEPROM 開始  :  "),
                                " ",       kSep, QStringLiteral("自動檢測共  0  次")};
  EXPECT_EQ(rig.memoFrom("  [ Communication exist ]", 13).mid(1), expected);
  EXPECT_TRUE(rig.op.questions().empty());
  const sim::CanPackState s = rig.pack->state();
  EXPECT_EQ(s.totalChargeErases + s.internalEepromErases + s.externalEepromErases, 0);
}

// Barcodes as the pack takes them: at most 32 bytes, never half of a character.
TEST(FunctionTestRun, BarcodeEncodedAndCutOnCharacters) {
  const struct {
    QString typed;
    QByteArray sent;
  } cases[] = {
      {QStringLiteral("BC-0001"), "BC-0001"},
      {QString(40, QLatin1Char('A')), QByteArray(32, 'A')},
      // Big5: two bytes a character; the sixteenth ends at byte 32, the seventeenth would not fit.
      {QString(17, QChar(0x6E2C)), platform::big5Bytes(QString(16, QChar(0x6E2C)))},
      {QString(31, QLatin1Char('A')) + QChar(0x6E2C), QByteArray(31, 'A')},
  };
  for (const auto& c : cases) EXPECT_EQ(production::EncodedBarcode(c.typed), c.sent) << c.typed.toStdString();
}

TEST(FunctionTestRun, StopWhileAskedThenClickDuringWindDown) {
  FunctionTestRig rig;
  EvtIni ini;
  ini.sleep = 1;
  ini.repeat = 2;
  rig.writeIni(ini);
  rig.op.holdWhenEmpty(true);
  rig.click();
  ASSERT_TRUE(test::waitFor([&] { return rig.op.asked() == 1; }));
  EXPECT_EQ(rig.controls().text(fctl::SpdBtn_EVTTest), "STOP");
  EXPECT_FALSE(rig.controls().enabled(fctl::SpdBtnRUN));
  EXPECT_FALSE(rig.controls().enabled(fctl::SpdBtnConfigure));
  EXPECT_FALSE(rig.controls().enabled(fctl::SpdBtn_Barcode32_R));
  rig.click();  // STOP
  EXPECT_EQ(rig.controls().text(fctl::SpdBtn_EVTTest), "TEST");
  EXPECT_EQ(rig.controls().fontColor(fctl::SpdBtn_EVTTest), colour::Blue);
  rig.click();  // TEST again while the run still waits for its answer
  rig.op.script({true, true});
  ASSERT_TRUE(test::waitFor([&] { return !rig.tool->functionTest.active(); }));
  rig.tool->services.workers.joinAll();

  EXPECT_EQ(rig.tool->state.records.EVT_TEST_SET.snapshot().TotalCount, 1) << "one run only";
  // After the answer the step's result, the wake-up part and the hand-over; no check item.
  EXPECT_EQ(rig.memoFrom("3.  Sleep Command Write", 7),
            (QStringList{"3.  Sleep Command Write  :  BMS enter the sleep status",
                         "  [ BMS enter to sleep test  ]  ........  PASS", "4.  BMS wake up test from sleep  :  ",
                         "  [ BMS wake up test  ]  ........  PASS", " ", kSep, QStringLiteral("自動檢測共  2  次")}));
  // The first repetition's head comes before its flag check, and nothing after it.
  EXPECT_EQ(rig.memoFrom(QStringLiteral("自動檢測開始"), 2),
            (QStringList{QStringLiteral("自動檢測開始  :  第1次"), QStringLiteral(" ")}));
  EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "FAIL") << "a stopped run never passes";
  EXPECT_TRUE(rig.controls().enabled(fctl::SpdBtn_EVTTest));
  // Idle again: the next click starts a run.
  rig.controls().setText(fctl::Edit_EVTBarcode, QStringLiteral("BC-0002"));
  rig.op.holdWhenEmpty(false);
  rig.run();
  EXPECT_EQ(rig.tool->state.records.EVT_TEST_SET.snapshot().TotalCount, 2);
}

// The page's edits hold what the operator can type into them, whoever writes them: a 33rd character of the work
// number or the barcode, a letter or one digit too many in the count and the ambient temperature are refused.
TEST(FunctionTestPage, EditsTakeWhatTheirLimitsAllow) {
  FunctionTestRig rig;
  Controls& c = rig.controls();
  const struct {
    Control edit;
    int most;
    bool digits;
  } edits[] = {{fctl::EditEVTWorkNumber, 32, false},
               {fctl::Edit_EVTBarcode, 32, false},
               {fctl::EditEVTDevTestNumberInput, 5, true},
               {fctl::EditEVTT1, 3, true}};
  for (const auto& e : edits) {
    SCOPED_TRACE(e.edit.c_str());
    const QString full(e.most, e.digits ? QLatin1Char('7') : QChar(0x689D));
    c.setText(e.edit, full);
    EXPECT_EQ(c.text(e.edit), full);
    c.setText(e.edit, full + (e.digits ? QLatin1Char('7') : QLatin1Char('x')));
    EXPECT_EQ(c.text(e.edit), full) << "one character too many";
    if (e.digits) {
      for (const char* text : {"1a", "-1", "1.5"}) {
        c.setText(e.edit, QString::fromLatin1(text));
        EXPECT_EQ(c.text(e.edit), full) << text;
      }
    }
    c.setText(e.edit, QString());
    EXPECT_TRUE(c.text(e.edit).isEmpty());
  }
}

// "none" in grey at 48 pixels at design; from "Checking" on 22 points in red; "PASS" or "FAIL" at 36 points.
TEST(FunctionTestRun, TheResultPanelsFontFollowsThePhase) {
  FunctionTestRig rig;
  Controls& c = rig.controls();
  EXPECT_EQ(c.text(fctl::PanelTestResult), "none");
  EXPECT_EQ(c.fontSize(fctl::PanelTestResult), 48);
  EXPECT_EQ(c.fontColor(fctl::PanelTestResult), colour::Grey);
  EvtIni ini;
  ini.sleep = 1;
  ini.afterEnd = 0;
  rig.writeIni(ini);
  rig.op.holdWhenEmpty(true);
  rig.click();
  ASSERT_TRUE(test::waitFor([&] { return rig.op.asked() == 1; }));
  EXPECT_EQ(c.text(fctl::PanelTestResult), "Sleep");
  EXPECT_EQ(c.fontSize(fctl::PanelTestResult), 29) << "22 points";
  EXPECT_EQ(c.fontColor(fctl::PanelTestResult), colour::Red);
  rig.op.script({true, true});
  ASSERT_TRUE(test::waitFor([&] { return !rig.tool->functionTest.active(); }));
  rig.tool->services.workers.joinAll();
  EXPECT_EQ(c.text(fctl::PanelTestResult), "PASS");
  EXPECT_EQ(c.fontSize(fctl::PanelTestResult), 48) << "36 points";
  EXPECT_EQ(c.fontColor(fctl::PanelTestResult), colour::Blue);
}

TEST(FunctionTestRun, StartChecksEndTheRunBeforeAnyStep) {
  const struct {
    const char* name;
    QString workNumber, barcode;
    bool ini;
    QString panel2;
  } cases[] = {
      {"empty barcode", "WN-01", "", true, "  Work Number or Barcode can't empty."},
      {"empty work number", "", "BC-0001", true, "  Work Number or Barcode can't empty."},
      {"no EVT.ini", "WN-01", "BC-0001", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FunctionTestRig rig;
    if (c.ini) rig.writeIni(EvtIni{});
    rig.controls().setText(fctl::EditEVTWorkNumber, c.workNumber);
    rig.controls().setText(fctl::Edit_EVTBarcode, c.barcode);
    rig.run();
    EXPECT_EQ(rig.controls().panel(fctl::StatusBarView, 2), c.panel2);
    EXPECT_TRUE(rig.adapter->written().empty()) << "no adapter opened, nothing sent";
    EXPECT_EQ(rig.memoFrom("Total Test Failed Report", 2),
              (QStringList{"Total Test Failed Report  :  ", "Test items no any failed."}));
    EXPECT_EQ(rig.memo().first(), " ") << "the memo holds the end's lines alone";
    EXPECT_EQ(rig.controls().text(fctl::PanelTestResult), "FAIL");
  }
}

TEST(FunctionTestRun, AdapterThatCannotBeOpened) {
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  rig.adapter->unplug();
  rig.run();
  const QString adapter = rig.controls().selectedItemText(link::ctl::CobBoxInterfaceName);
  EXPECT_EQ(rig.memoFrom("1.  Device", 2),
            (QStringList{"1.  Device  :  " + adapter + "  Test  : ", "  [  " + adapter + "  ]  :  ........  NG"}));
  EXPECT_EQ(rig.failLines(), QStringList{"1.    [ " + adapter + " ]  :  ........  NG"});
  EXPECT_TRUE(rig.memoFrom("2.  Communication", 1).isEmpty());
}

TEST(FunctionTestRun, SilentPackFailsTheCommunicationTest) {
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  rig.pack->setBroadcastPeriod(0);
  rig.run();
  const QStringList lines = rig.memoFrom(QStringLiteral("第1次"), 31);
  ASSERT_EQ(lines.size(), 31);
  EXPECT_EQ(lines[29], QStringLiteral("第30次 , The first communication test : Fail."));
  EXPECT_EQ(lines[30], "  [ Communication exist ]  ........  NG");
  EXPECT_EQ(rig.failLines(), QStringList{"2.    [ Communication exist ]  ........  NG"});
  EXPECT_TRUE(rig.memoFrom(QStringLiteral("清除"), 1).isEmpty());
}

TEST(FunctionTestRun, RefusedWhileMonitoringHoldsTheAdapter) {
  FunctionTestRig rig;
  rig.writeIni(EvtIni{});
  rig.tool->FormMain.onEvent(fctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(test::waitFor([&] { return rig.link().canSessionHeld(); }));
  rig.click();
  EXPECT_FALSE(rig.tool->functionTest.active());
  EXPECT_EQ(rig.tool->services.workers.running("FunctionTestWorker"), 0);
  rig.tool->FormMain.onEvent(fctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(test::waitFor([&] { return rig.tool->services.workers.running() == 0; }));
}

}  // namespace
}  // namespace qv
