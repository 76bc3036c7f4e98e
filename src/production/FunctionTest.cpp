#include "production/FunctionTest.h"

#include "link/CanLayer.h"
#include "link/CanWriteCommands.h"
#include "link/ConfigFormControls.h"
#include "link/Profiles.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/EvtIni.h"
#include "platform/Time.h"
#include "production/FunctionTestReport.h"
#include "production/FunctionTestRun.h"

#include <algorithm>

namespace qv::production {

namespace ctl = mainwindow::ctl;

namespace {

constexpr int kBarcodeBytes = 32;

// What belongs to other sessions of the adapter, off while the run owns it: the command set (RUN, " Configure ",
// EXIT, the UR commands, the EEPROM and report readers, the fixture), the firmware window's way in, the bus
// hunt and the CAN page's commands, which would otherwise borrow the run's adapter.
std::vector<Control> sessionControls() {
  std::vector<Control> names;
  for (Control c : mainwindow::CommandSet()) names.push_back(c);
  for (Control c :
       {ctl::SpdBtnUpgrade, ctl::SpdBtnBusHunt, ctl::BitBtn_EEP_PARA, ctl::BitBtn_EEP_READ, ctl::SpdBtn_RTC_SET,
        ctl::SpeedButton_RTC_GET, ctl::SpdBtn_EEP_Erase_Set, ctl::SpdBtn_ShippingModeSet, ctl::SpdBtn_ShippingModeGet,
        ctl::SpdBtn_DEEP_SLEEP_SET, ctl::SpdBtn_Barcode32_W, ctl::SpdBtn_Barcode32_R})
    names.push_back(c);
  names.erase(std::remove(names.begin(), names.end(), Control{}), names.end());
  return names;
}

}  // namespace

QByteArray EncodedBarcode(const QString& typed) { return platform::big5BytesAtMost(typed, kBarcodeBytes); }

bool FunctionTest::Run::receive() {
  const auto exchange = link_.exchange();
  return link::CanReceiveDispatch(link_);
}

// ---- the start ------------------------------------------------------------------------------------------
bool FunctionTest::Run::Start() {
  c_.setEnabled(ctl::SpdBtnRUN, false);
  c_.setEnabled(ctl::SpdBtnExit, false);
  if (t_.actions.keepAlive) t_.actions.keepAlive(true);
  receive();
  platform::sleepMs(1);
  records_.EVT_TEST.with([](EvtTest& e) { e.FailCount = 0; });
  state_.RunFlag.set(1);
  c_.setFontColor(ctl::SpdBtn_EVTTest, colour::Red);
  c_.setText(ctl::SpdBtn_EVTTest, QStringLiteral("STOP"));
  workNumber_ = c_.text(ctl::EditEVTWorkNumber);
  barcode_ = c_.text(ctl::Edit_EVTBarcode);
  if (workNumber_.isEmpty() || barcode_.isEmpty()) {
    c_.setPanel(ctl::StatusBarView, kMessagePanel, QStringLiteral("  Work Number or Barcode can't empty."));
    stop();
  }
  c_.setPanel(ctl::StatusBarView, 0, QStringLiteral("  SYS : < SRART >"));
  c_.setItems(ctl::MemoLog, {});
  if (flag()) {
    c_.setFontSize(ctl::PanelTestResult, pointsAsPixels(22));
    c_.setFontColor(ctl::PanelTestResult, colour::Red);
    phase(QStringLiteral("Checking"));
    // A file that cannot be read or holds a value that is no number ends the run as a missing one does.
    if (!mainwindow::EvtIniExists() || !mainwindow::LoadEvtIniForRun(records_, c_)) stop();
  }
  if (flag()) {
    line(c_.text(ctl::FormMain) + QStringLiteral("  Function  Test  Report  ...... "));
    line(QStringLiteral("自動檢測起始日期與時間  :  ") +
         platform::now().toString(QStringLiteral("yyyy-MM-dd , HH:mm:ss")));
    line(QString());
    line(QStringLiteral("Work Number  :  ") + workNumber_);
  }
  countBroadcasts();
  return flag();
}

// ---- steps 1 to 9 ---------------------------------------------------------------------------------------
bool FunctionTest::Run::Steps() {
  if (!flag()) return false;
  // 1. Device.
  const QString adapter = adapterText();
  line(QString());
  title(QStringLiteral("Device  :  ") + adapter + QStringLiteral("  Test  : "));
  opened_ = link_.OpenAdapter();
  if (opened_) {
    // The CAN writers borrow the adapter of the run holding it.
    session_.emplace(link_);
    line(QStringLiteral("  [ ") + adapter + QStringLiteral(" ]  :  ........  PASS"));
    c_.setPanel(ctl::StatusBarView, 0, QStringLiteral("  SYS : < LINK >"));
  } else {
    line(QStringLiteral("  [  ") + adapter + QStringLiteral("  ]  :  ........  NG"));
    fail(QStringLiteral("  [ ") + adapter + QStringLiteral(" ]  :  ........  NG"));
    stop();
  }
  if (!flag()) return false;

  // 2. Communication.
  line(QString());
  title(QStringLiteral("Communication Test  :  "));
  line(QStringLiteral(" 每100ms讀取一次"));
  bool talking = false;
  for (int k = 1; k <= 30 && !talking; ++k) {
    platform::sleepMs(100);
    talking = receive();
    line(QStringLiteral("第") + num(k) + QStringLiteral("次 , The first communication test : ") +
         (talking ? QStringLiteral("Pass.") : QStringLiteral("Fail.")));
  }
  result(talking, QStringLiteral("  [ Communication exist ]"),
         QStringLiteral("  [ Communication exist ]  ........  NG"));
  if (!talking) stop();
  if (!flag()) return false;

  const EvtTestSet s = set();
  // 3 to 5. The erases; each header comes whether or not its erase is switched on.
  if (!flag()) return false;
  platform::sleepMs(100);
  if (!flag()) return false;
  if (!erase(s.EraseMCUIntTCCWrite, QStringLiteral("清除 MCU 內部 Total Charge Capacity 開始  :  "),
             QStringLiteral("Erase MCU Total Charge Capacity  :  "),
             QStringLiteral("  [ Erase MCU Total Charge Capacity ]"), link::CanEraseTotalChargeCapacity))
    return false;
  if (!flag()) return false;
  if (!erase(s.EraseMCUIntEEPWrite, QStringLiteral("清除 MCU 內部 EEPROM 開始  :  "),
             QStringLiteral("Erase MCU Internal EEPROM  :  "), QStringLiteral("  [ Erase MCU Internal EEPROM ]"),
             link::CanEraseInternalEeprom))
    return false;
  if (!erase(s.EEPEraseWrite, QStringLiteral("清除 MCU 外部EEPROM 開始  :  "),
             QStringLiteral("Erase MCU External EEPROM  :  "), QStringLiteral("  [ EEPROM Erase ]"),
             link::CanEraseExternalEeprom))
    return false;

  // 6. Clock.
  if (s.RTCWrite) {
    if (!flag()) return false;
    line(QString());
    title(QStringLiteral("RTC Set  :  "));
    records_.EVT_TEST.with([](EvtTest& e) {
      e.WrittenRtcDate = 0;
      e.PackRtcSeconds = 0;
    });
    const bool ok = call(t_.actions.setRtc);
    line(QStringLiteral("RTC Set  :  ") + c_.text(ctl::Edit_RTC_CAN_ENG));
    result(ok, QStringLiteral("  [ RTC Set ]"), QStringLiteral("  [ RTC Set ]  ........  NG"));
  }

  // 7. Barcode.
  if (s.BarcodeWrite) {
    for (int i = 0; i < 20; ++i) {
      receive();
      platform::sleepMs(50);
    }
    if (!flag()) return false;
    line(QString());
    title(QStringLiteral("Barcode Write  :  ") + barcode_);
    c_.setText(ctl::EditBarCode32, barcode_);
    const QByteArray bytes = EncodedBarcode(barcode_);
    bool ok = false;
    switch (s.BarcodeMode) {
      case 1: ok = link::CanWriteText32(link_, bytes); break;
      case 2: ok = link::CanWriteBarcode32Text(link_, bytes); break;
      case 3: ok = link::CanWriteBarcode16Text(link_, bytes); break;
      default: break;
    }
    result(ok, QStringLiteral("  [ Barcode Write ]"), QStringLiteral("  [ Barcode Write ]  ........  NG"));
  }

  // 8. Shipping mode.
  if (s.ShippingModeWrite) {
    if (!flag()) return false;
    const EvtTest e = test();
    const QString v = num(e.ShippingMode);
    line(QString());
    title(QStringLiteral("Shipping Mode Write  :  ") + v);
    c_.setChecked(ctl::CheckBox_SippingMode, e.ShippingMode == 1);
    bool ok = false;
    for (int i = 0; i < 3; ++i) {
      ok = call(t_.actions.setShippingMode) || ok;
      platform::sleepMs(100);
    }
    result(ok, QStringLiteral("  [ Shipping Mode Write  :  ") + v + QStringLiteral("]"),
           QStringLiteral("  [ Shipping Mode Write ]  ........  NG"));
    platform::sleepMs(100);
  }

  // 9. Sleep test.
  switch (s.Sleep_or_DeepSleepStatusWrite) {
    case 0: title(QStringLiteral("No Sleep and No Deep Sleep Write Command.")); break;
    case 1:
      line(QStringLiteral(" "));
      if (!flag()) return false;
      phase(QStringLiteral("Sleep"));
      title(QStringLiteral("Sleep Command Write  :  BMS enter the sleep status"));
      reads_.SendSleepCan();
      result(ask(QStringLiteral("   BMS Sleep command 後確認.   "), QStringLiteral("   BMS 已經 Sleep?   ")),
             QStringLiteral("  [ BMS enter to sleep test  ]"),
             QStringLiteral("  [ BMS enter to sleep test  ]  ........  NG"));
      wakeUp();
      break;
    case 2:
      line(QStringLiteral(" "));
      if (!flag()) return false;
      phase(QStringLiteral("Deep"));
      title(QStringLiteral("Deep Sleep Command Write  :  BMS enter the deep sleep status"));
      if (t_.actions.deepSleep) t_.actions.deepSleep();
      result(ask(QStringLiteral("   BMS Deep Sleep command 後確認.   "), QStringLiteral("   BMS 已經 Deep Sleep?   ")),
             QStringLiteral("  [ BMS enter to deep sleep test  ]"),
             QStringLiteral("  [ BMS enter to deep sleep test  ]  ........  NG"));
      wakeUp();
      break;
    default: break;
  }

  // The hand-over to the check items.
  line(QStringLiteral(" "));
  line(separator());
  line(QStringLiteral("自動檢測共  ") + num(s.TestRepeatCnt) + QStringLiteral("  次"));
  return true;
}

QString FunctionTest::Run::adapterText() const {
  const QString chosen = c_.selectedItemText(link::ctl::CobBoxInterfaceName);
  return chosen.isEmpty() ? c_.text(link::ctl::CobBoxInterfaceName) : chosen;
}

// One erase step with its header; false when a flag check ends the run.
bool FunctionTest::Run::erase(bool on, const QString& header, const QString& stepTitle, const QString& stem,
                              bool (*command)(link::Link&)) {
  phase(QStringLiteral("Writing"));
  line(QString());
  line(separator());
  line(header);
  if (on) {
    if (!flag()) return false;
    line(QString());
    title(stepTitle);
    result(command(link_), stem, stem + QStringLiteral("  ........  NG"));
  }
  platform::sleepMs(100);
  return true;
}

// A Yes/No box on the GUI thread; the worker waits for the answer holding no lock.
bool FunctionTest::Run::ask(const QString& caption, const QString& text) {
  return t_.services_.gui().askYesNo(caption, text);
}

void FunctionTest::Run::wakeUp() {
  title(QStringLiteral("BMS wake up test from sleep  :  "));
  result(ask(QStringLiteral("   BMS Wake up 後確認.   "), QStringLiteral("  BMS 已經 Wake up?   ")),
         QStringLiteral("  [ BMS wake up test  ]"), QStringLiteral("  [  BMS wake up test  ]  ........  NG"));
}

// ---- the end --------------------------------------------------------------------------------------------
void FunctionTest::Run::End() {
  // Only a run that went through every repetition can pass.
  const bool completed = flag();
  const EvtTestSet s = set();
  switch (s.Sleep_or_DeepSleep_Status_AfterEndTest) {
    case 0: title(QStringLiteral("Last CMD : none.")); break;
    case 1:
      line(QString());
      if (opened_ && link_.AdapterHandle.load() != 0) reads_.SendSleepCan();
      title(QStringLiteral("Last CMD : Do Sleep Command."));
      break;
    case 2:
      line(QStringLiteral(" "));
      if (flag()) {
        if (t_.actions.deepSleep) t_.actions.deepSleep();
        title(QStringLiteral("Last CMD : Do Deep Sleep Command."));
      }
      break;
    default: break;
  }

  stop();
  line(QStringLiteral(" "));
  line(separator());
  line(QStringLiteral("Total Test Failed Report  :  "));
  const EvtTest e = test();
  const int32_t stored = e.FailLinesStored();
  for (int32_t i = 1; i <= stored; ++i) line(e.FailLines[static_cast<size_t>(i)]);
  if (e.FailLinesLeftOut() > 0) {
    line(QStringLiteral("... ") + num(e.FailLinesLeftOut()) + QStringLiteral(" more failed items not listed."));
  }
  if (e.FailCount < 1) line(QStringLiteral("Test items no any failed."));
  line(QStringLiteral(" "));
  line(separator());
  const QString stopTime = platform::now().toString(QStringLiteral("yyyy.MM.dd , HH:mm:ss"));

  const bool pass = completed && e.FailCount == 0 && step_ >= 2;
  const QString verdict = pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
  c_.setFontSize(ctl::PanelTestResult, pointsAsPixels(36));
  c_.setFontColor(ctl::PanelTestResult, pass ? colour::Blue : colour::Red);
  phase(verdict);
  const EvtTestSet counted = records_.EVT_TEST_SET.with([&](EvtTestSet& set) {
    ++(pass ? set.PassCount : set.NgCount);
    ++set.TotalCount;
    return set;
  });
  line(QStringLiteral("自動檢測次數  :  第  ") + num(counted.TotalCount) + QStringLiteral(" 次"));
  line(QStringLiteral("檢測PASS次數  :  第  ") + num(counted.PassCount) + QStringLiteral(" 次"));
  line(QStringLiteral("檢測-NG-次數  :  第  ") + num(counted.NgCount) + QStringLiteral(" 次"));
  line(QStringLiteral(" "));
  line(separator());
  line(QStringLiteral("重複檢測次數  :  共  ") + num(counted.TestRepeatCnt) + QStringLiteral("  次"));
  line(QStringLiteral("停止測試時間  :  ") + stopTime);
  line(QStringLiteral("產品工號名稱  :  ") + workNumber_);
  line(QStringLiteral("產品條碼名稱  :  ") + barcode_);
  // The run is over CAN: the pack's model and firmware as its CAN answers gave them.
  line(QStringLiteral("測試專案名稱  :  ") + c_.text(ctl::Edit_ModelName));
  line(QStringLiteral("測試韌體版本  :  ") + c_.text(ctl::Edit_FWVer));
  line(QStringLiteral("測試項目總數  :  ") + num(step_) + QStringLiteral(" 項"));
  line(QStringLiteral("測試失敗總數  :  ") + num(e.FailCount) + QStringLiteral(" 項"));
  line(QStringLiteral("測試結果報告  :  ") + verdict);

  const ReportWritten report = WriteTestReport(t_.reportFolder ? t_.reportFolder() : link::ExeDirectory(), workNumber_,
                                               barcode_, platform::now(), verdict, c_.items(ctl::MemoLog));
  if (!report.ok) {
    const QString said = QStringLiteral("  Test report cannot be written : ") + report.path;
    c_.setPanel(ctl::StatusBarView, kMessagePanel, said);
    line(said);
  }

  c_.setFontColor(ctl::SpdBtn_EVTTest, colour::Blue);
  c_.setText(ctl::SpdBtn_EVTTest, QStringLiteral("TEST"));
  c_.setPanel(ctl::StatusBarView, 0, QStringLiteral("  SYS : < STOP >"));
  c_.setText(ctl::Edit_EVTBarcode, QString());
  c_.setEnabled(ctl::FormMain, true);
  session_.reset();
  if (opened_) link_.CloseAdapter();
  closed_ = true;
  stop();
  c_.setEnabled(ctl::SpdBtnRUN, true);
  c_.setEnabled(ctl::SpdBtnExit, true);
}

FunctionTest::FunctionTest(platform::Services& services, link::Link& link, mainwindow::MainState& state,
                           CanAnswerCounts& counts)
    : services_(services), link_(link), state_(state), counts_(counts) {}

void FunctionTest::SpdBtn_EVTTestClick() {
  Controls& c = services_.controls;
  if (c.text(ctl::SpdBtn_EVTTest) == QLatin1String("STOP")) {
    c.setFontColor(ctl::SpdBtn_EVTTest, colour::Blue);
    c.setText(ctl::SpdBtn_EVTTest, QStringLiteral("TEST"));
    state_.RunFlag.set(0);
    // The run winds down to its end; until then the button takes no click.
    c.setEnabled(ctl::SpdBtn_EVTTest, false);
    return;
  }
  if (active_.load()) return;
  // Another session holds the adapter: monitoring, or a UR command or reader.
  if (link_.AdapterHandle.load() != 0 || c.text(ctl::SpdBtnRUN) == QLatin1String("STOP") ||
      !c.enabled(ctl::SpdBtnConfigure)) {
    c.setPanel(ctl::StatusBarView, Run::kMessagePanel, QStringLiteral("  The adapter is in use : stop it first."));
    return;
  }
  active_.store(true);
  heldOff_.clear();
  for (Control name : sessionControls()) {
    heldOff_.emplace_back(name, c.enabled(name));
    c.setEnabled(name, false);
  }
  try {
    services_.workers.start("FunctionTestWorker", [this] { FunctionTestWorker(); });
  } catch (...) {
    for (const auto& [name, on] : heldOff_) c.setEnabled(name, on);
    active_.store(false);
  }
}

void FunctionTest::FunctionTestWorker() {
  Controls& c = services_.controls;
  try {
    Run run(*this);
    run.go();
  } catch (...) {
    state_.RunFlag.set(0);
  }
  // What the run switched off goes back as it was; RUN and EXIT are on again after every run.
  for (const auto& [name, on] : heldOff_) {
    if (name != ctl::SpdBtnRUN && name != ctl::SpdBtnExit) c.setEnabled(name, on);
  }
  c.setEnabled(ctl::SpdBtn_EVTTest, true);
  active_.store(false);
}

}  // namespace qv::production
