#include "production/FunctionTest.h"

#include "link/CanLayer.h"
#include "link/CanWriteCommands.h"
#include "link/ConfigFormControls.h"
#include "link/PackMessages.h"
#include "link/Profiles.h"
#include "mainwindow/CellSpread.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Text.h"
#include "platform/Time.h"
#include "production/FunctionTestReport.h"

#include <algorithm>
#include <cstdlib>

namespace qv::production {

namespace ctl = mainwindow::ctl;
namespace msg = link::msg;
using mainwindow::EvtTest;
using mainwindow::EvtTestSet;

namespace {

constexpr int kMessagePanel = 2;
const QString kSeparator = QString(59, QLatin1Char('-'));
constexpr int kBarcodeBytes = 32;
constexpr int kCellsChecked = mainwindow::CanCellVolts::kCells;

// What belongs to other sessions of the adapter, off while the run owns it: the command set (RUN, " Configure ",
// EXIT, the UR commands, the EEPROM and report readers, the fixture), the firmware window's way in, the bus
// hunt and the CAN page's commands, which would otherwise borrow the run's adapter.
std::vector<Control> sessionControls() {
  std::vector<Control> names;
  for (Control c : mainwindow::CommandSet()) names.push_back(c);
  for (Control c : {ctl::SpdBtnUpgrade, ctl::SpdBtnBusHunt, ctl::BitBtn_EEP_PARA, ctl::BitBtn_EEP_READ,
                    ctl::SpdBtn_RTC_SET, ctl::SpeedButton_RTC_GET, ctl::SpdBtn_EEP_Erase_Set,
                    ctl::SpdBtn_ShippingModeSet, ctl::SpdBtn_ShippingModeGet, ctl::SpdBtn_DEEP_SLEEP_SET,
                    ctl::SpdBtn_Barcode32_W, ctl::SpdBtn_Barcode32_R})
    names.push_back(c);
  names.erase(std::remove(names.begin(), names.end(), Control{}), names.end());
  return names;
}

QString num(long long n) { return QString::number(n); }

// A field's text as a number; none when it is not one.
std::optional<long long> numberOf(const QString& text) {
  long long n = 0;
  if (!qv::parseInt(text, &n)) return std::nullopt;
  return n;
}

// A text of the records (from EVT.ini or the pack) as the page shows it.
template <size_t N>
QString fieldText(const std::array<char, N>& field) {
  return platform::big5Text(mainwindow::evtText(field));
}

}  // namespace

QByteArray EncodedBarcode(const QString& typed) { return platform::big5BytesAtMost(typed, kBarcodeBytes); }

// One run: its step number, its adapter and what it writes.
class FunctionTest::Run {
 public:
  explicit Run(FunctionTest& test)
      : t_(test),
        c_(test.services_.controls),
        link_(test.link_),
        state_(test.state_),
        records_(test.state_.records),
        reads_(test.link_, test.counts_, test.state_.RunFlag) {}

  // A run that is left by an exception still gives the adapter back.
  ~Run() {
    session_.reset();
    if (opened_ && !closed_) link_.CloseAdapter();
  }

  void go() {
    if (Start() && Steps()) Checks();
    End();
  }

 private:
  bool flag() const { return state_.RunFlag.running(); }
  void stop() { state_.RunFlag.set(0); }
  void line(const QString& text) { c_.addItem(ctl::MemoLog, text); }
  void title(const QString& text) {
    ++step_;
    line(num(step_) + QStringLiteral(".  ") + text);
  }
  // A failure line of the current step.
  void fail(const QString& text) {
    const QString l = num(step_) + QStringLiteral(".  ") + text;
    records_.EVT_TEST.with([&](EvtTest& e) { e.AddFailLine(l); });
  }
  // The result line of a step or item, and on NG its failure line.
  void result(bool pass, const QString& passLine, const QString& ngLine, const QString& failText) {
    line(pass ? passLine : ngLine);
    if (!pass) fail(failText);
  }
  void result(bool pass, const QString& stem, const QString& failText) {
    result(pass, stem + QStringLiteral("  ........  PASS"), stem + QStringLiteral("  ........  NG"), failText);
  }
  void phase(const QString& text) { c_.setText(ctl::PanelTestResult, text); }
  EvtTest test() const { return records_.EVT_TEST.snapshot(); }
  EvtTestSet set() const { return records_.EVT_TEST_SET.snapshot(); }
  bool receive() {
    const auto exchange = link_.exchange();
    return link::CanReceiveDispatch(link_);
  }
  static bool call(const std::function<bool()>& f) { return f ? f() : false; }

  // ---- the start ------------------------------------------------------------------------------------------
  bool Start() {
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
    // Broadcasts from before the run do not count for it.
    broadcastsAtStart_ = {t_.counts_.broadcasts(link::kCanVoltageCurrent), t_.counts_.broadcasts(link::kCanCapacity),
                          t_.counts_.broadcasts(link::kCanHealth)};
    return flag();
  }

  // ---- steps 1 to 9 ---------------------------------------------------------------------------------------
  bool Steps() {
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
    result(talking, QStringLiteral("  [ Communication exist ]"), QStringLiteral("  [ Communication exist ]  ........  NG"));
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
    line(kSeparator);
    line(QStringLiteral("自動檢測共  ") + num(s.TestRepeatCnt) + QStringLiteral("  次"));
    return true;
  }

  QString adapterText() const {
    const QString chosen = c_.selectedItemText(link::ctl::CobBoxInterfaceName);
    return chosen.isEmpty() ? c_.text(link::ctl::CobBoxInterfaceName) : chosen;
  }

  // One erase step with its header; false when a flag check ends the run.
  bool erase(bool on, const QString& header, const QString& stepTitle, const QString& stem, bool (*command)(link::Link&)) {
    phase(QStringLiteral("Writing"));
    line(QString());
    line(kSeparator);
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
  bool ask(const QString& caption, const QString& text) { return t_.services_.gui().askYesNo(caption, text); }

  void wakeUp() {
    title(QStringLiteral("BMS wake up test from sleep  :  "));
    result(ask(QStringLiteral("   BMS Wake up 後確認.   "), QStringLiteral("  BMS 已經 Wake up?   ")),
           QStringLiteral("  [ BMS wake up test  ]"), QStringLiteral("  [  BMS wake up test  ]  ........  NG"));
  }

  // ---- the check items ------------------------------------------------------------------------------------
  void Checks() {
    const int repeats = set().TestRepeatCnt;
    for (int r = 1; r <= repeats; ++r) {
      line(QStringLiteral(" "));
      line(kSeparator);
      c_.setPanel(ctl::StatusBarView, kMessagePanel, QString());
      phase(QStringLiteral("Testing"));
      line(QStringLiteral("自動檢測開始  :  第") + num(r) + QStringLiteral("次"));
      if (!flag()) return;
      if (!Repetition()) return;
    }
  }

  // The item frame's opening: an empty line and the step number raised.
  void open() {
    line(QString());
    ++step_;
  }
  void itemTitle(const QString& text) { line(num(step_) + QStringLiteral(".  ") + text); }

  // One pass over the items; false when a flag check ends the run.
  bool Repetition() {
    const EvtTestSet s = set();
    EvtTest e = test();

    // a) Barcode.
    open();
    receive();
    itemTitle(QStringLiteral("Barcode  :  ") + barcode_ + QStringLiteral("  Test  :  "));
    c_.setText(ctl::Edit_Barcode32_RW, QString());
    bool barcodeRead = false;
    if (s.BarcodeMode == 2 || s.BarcodeMode == 3) {
      // What an earlier read left in the buffer or its flags never passes for this pack's answer.
      records_.CanBarcodeBuffer.with([](mainwindow::BarcodeField& b) { b.fill('\0'); });
      if (link::CanAnswerFlags* flags = link_.canAnswerFlags()) {
        flags->clear(link::CanAckFamily::Barcode32Read);
        flags->clear(link::CanAckFamily::Barcode16Read);
        flags->clear(link::CanAckFamily::Barcode16ReadAlt);
      }
      if (s.BarcodeMode == 2) {
        barcodeRead = call(t_.actions.readBarcode32);
      } else {
        barcodeRead = call(t_.actions.readBarcode16) || call(t_.actions.readBarcode16Alt);
      }
    }
    const QByteArray held = mainwindow::evtText(records_.CanBarcodeBuffer.snapshot());
    const QString shownBarcode = platform::big5Text(held);
    c_.setText(ctl::Edit_Barcode32_RW, shownBarcode);
    // Only a barcode read during this item counts; without a read there is nothing of this pack to compare.
    const bool barcodePass = barcodeRead && !held.isEmpty() && held == EncodedBarcode(barcode_);
    result(barcodePass, QStringLiteral("  [ ") + shownBarcode + QStringLiteral(" ]"),
           QStringLiteral("Barcode  : ") + QStringLiteral(" [ ") + shownBarcode + QStringLiteral(" ]  ........  NG"));
    if (!flag()) return false;

    // b) Project name.
    open();
    itemTitle(QStringLiteral("Project Name  :  ") + fieldText(e.ProjectName) + QStringLiteral("  Test  :  "));
    const bool modelRead = reads_.ReadModelNameCan();
    const QString model = fieldText(set().ModelName);
    result(modelRead && model == fieldText(e.ProjectName), QStringLiteral("  [ ") + model + QStringLiteral(" ]"),
           QStringLiteral("Project Name  : ") + QStringLiteral(" [ ") + model + QStringLiteral(" ]  ........  NG"));
    if (!flag()) return false;

    // c) Firmware version; no flag check after it.
    open();
    itemTitle(QStringLiteral("FW Version  :  ") + fieldText(e.FWVer) + QStringLiteral("  Test  :  "));
    const bool fwRead = reads_.ReadFwVersionCan();
    const QString fw = c_.text(ctl::Edit_FWVer);
    result(fwRead && fw == fieldText(e.FWVer), QStringLiteral("  [ ") + fw + QStringLiteral(" ]"),
           QStringLiteral("FW Version  : ") + QStringLiteral(" [ ") + fw + QStringLiteral(" ]  ........  NG"));

    // d) Real-time clock.
    if (e.RTCTest == 1) {
      platform::sleepMs(1000);
      if (!flag()) return false;
      open();
      if (!Clock(s)) return false;
    }
    if (!flag()) return false;

    // e) State of charge, kept current by the broadcast 0x402.
    e = test();
    open();
    itemTitle(QStringLiteral("SOC : ") + num(e.SOCMax) + QStringLiteral(" % to ") + num(e.SOCMin) +
              QStringLiteral(" %  Test  :  "));
    bool read = reads_.Read1006Can();
    {
      const QString soc = c_.text(ctl::EditRSOC);
      const std::optional<long long> v = numberOf(soc);
      const bool pass = read && broadcastSince(link::kCanCapacity, 1) && v && e.SOCMin <= *v && *v <= e.SOCMax;
      result(pass, QStringLiteral("  [ ") + soc + QStringLiteral(" % ]  ........  PASS"),
             QStringLiteral("  [  ") + soc + QStringLiteral(" % ]  ........  NG"),
             QStringLiteral("SOC : ") + QStringLiteral(" [ ") + soc + QStringLiteral(" % ]  ........  NG"));
    }
    if (!flag()) return false;

    // f) State of health, kept current by the broadcast 0x403.
    open();
    read = reads_.Read1006Can();
    itemTitle(QStringLiteral("SOH : ") + num(e.SOHMax) + QStringLiteral(" % to ") + num(e.SOHMin) +
              QStringLiteral(" %  Test  :  "));
    {
      const QString soh = c_.text(ctl::EditASOC);
      const std::optional<long long> v = numberOf(soh);
      const bool pass = read && broadcastSince(link::kCanHealth, 2) && v && e.SOHMin <= *v && *v <= e.SOHMax;
      result(pass, QStringLiteral("  [ ") + soh + QStringLiteral(" % ]  ........  PASS"),
             QStringLiteral("  [  ") + soh + QStringLiteral(" % ]  ........  NG"),
             QStringLiteral("SOH : ") + QStringLiteral(" [ ") + soh + QStringLiteral(" % ]  ........  NG"));
    }
    if (!flag()) return false;

    // g) Temperature T1 around the ambient temperature.
    open();
    read = reads_.ReadTemperaturesCan();
    {
      const std::optional<long long> ambient = numberOf(c_.text(ctl::EditEVTT1));
      const long long upper = ambient.value_or(0) + e.T1Range;
      const long long lower = ambient.value_or(0) - e.T1Range;
      const QString bound = QStringLiteral("NULL");
      itemTitle(QStringLiteral("T1 Range : ") + (ambient ? num(upper) : bound) + QStringLiteral(" ℃ to ") +
                (ambient ? num(lower) : bound) + QStringLiteral(" ℃  Test  :  "));
      const QString t1 = c_.text(ctl::EditT1);
      const QString shown = t1.isEmpty() ? QStringLiteral("NULL") : t1;
      const std::optional<long long> v = numberOf(t1);
      const bool pass = read && ambient && v && lower <= *v && *v <= upper;
      result(pass, QStringLiteral("  [ ") + shown + QStringLiteral(" ℃ ]"),
             QStringLiteral("T1 Range : ") + QStringLiteral(" [ ") + shown + QStringLiteral(" ℃ ]  ........  NG"));
    }
    if (!flag()) return false;

    // h) Cell voltages, one step per cell.
    if (!Cells(e)) return false;

    // i) Cell balance.
    open();
    {
      const QString diffText = c_.text(ctl::Edit_VoltDiff);
      const std::optional<long long> diff = numberOf(diffText);
      itemTitle(QStringLiteral("Balance Range  :  ") + num(e.CellBalance) + QStringLiteral(" mV") +
                QStringLiteral("  Test  :  "));
      const QString d = diff ? num(*diff) : diffText;
      const bool pass = cellsFresh_ && diff && IsBalanceWithinLimit(*diff, e.CellBalance);
      result(pass, QStringLiteral("  [ ") + d + QStringLiteral(" mV") + QStringLiteral(" ]  ........  PASS"),
             QStringLiteral("  [ ") + d + QStringLiteral(" ]  ........  NG"),
             QStringLiteral("Balance Range  : ") + QStringLiteral(" [ ") + d + QStringLiteral(" ]  ........  NG"));
    }
    if (!flag()) return false;

    // j) Pack voltage and k) current, kept current by the broadcast 0x401.
    open();
    {
      const QString text = c_.text(ctl::Edit401hPackVoltage);
      const std::optional<long long> v = numberOf(text);
      const QString shown = v ? num(*v) : text;
      itemTitle(QStringLiteral("Pack Volt Range : ") + num(e.PackVoltMax) + QStringLiteral(" mV to ") +
                num(e.PackVoltMin) + QStringLiteral(" mV  Test  :  "));
      const bool pass = broadcastSince(link::kCanVoltageCurrent, 0) && v && e.PackVoltMin <= *v && *v <= e.PackVoltMax;
      result(pass, QStringLiteral("  [ ") + shown + QStringLiteral(" mV ]"),
             QStringLiteral("Pack Volt Range :  [ ") + shown + QStringLiteral(" mV ]  ........  NG"));
    }
    if (!flag()) return false;
    open();
    {
      const QString text = c_.text(ctl::Edit401hPackCurrent);
      const std::optional<long long> v = numberOf(text);
      const QString shown = v ? num(*v) : text;
      itemTitle(QStringLiteral("Pack Current Range : ") + num(e.PackCurrentMax) + QStringLiteral(" mA to ") +
                num(e.PackCurrentMin) + QStringLiteral(" mA  Test  :  "));
      const bool pass =
          broadcastSince(link::kCanVoltageCurrent, 0) && v && e.PackCurrentMin <= *v && *v <= e.PackCurrentMax;
      result(pass, QStringLiteral("  [ ") + shown + QStringLiteral(" mA ]"),
             QStringLiteral("Pack Current Range : ") + QStringLiteral(" [ ") + shown +
                 QStringLiteral(" mA ]  ........  NG"));
    }
    if (!flag()) return false;

    // l) Shipping mode: the mode bit the pack's answer carried during this read, against the one expected.
    open();
    itemTitle(QStringLiteral("Read Shipping Mode : ") + num(e.ShippingMode) + QStringLiteral("  Test  :  "));
    {
      const ShippingModeRead mode = reads_.ReadShippingModeAck();
      const QString shown = mode.modeDecoded ? num(mode.mode ? 1 : 0) : QStringLiteral("NULL");
      const bool pass = mode.modeDecoded && (mode.mode ? 1 : 0) == e.ShippingMode;
      result(pass, QStringLiteral("  [ Shipping Mode  :  ") + shown + QStringLiteral("]"),
             QStringLiteral("  [ Read Shipping Mode ]  ........  NG"));
    }
    if (!flag()) return false;

    // m) Protection flags, all six from the one read.
    struct Flag {
      const char* title;
      Control field;
      uint8_t EvtTest::*expected;
      const char* failBracket;
      const char* ngBracket;
    };
    static constexpr Flag kFlags[] = {
        {"OV Flag : ", ctl::EditOVF, &EvtTest::OVFlag, " [ ", "  [ "},
        {"UV Flag : ", ctl::EditUVF, &EvtTest::UVFlag, "  [ ", "  [ "},
        {"OC Flag : ", ctl::EditOCF, &EvtTest::OCFlag, "  [ ", "  [ "},
        {"SC Flag : ", ctl::EditSCF, &EvtTest::SCFlag, " [ ", " [  "},
        {"OT Flag : ", ctl::EditOTF, &EvtTest::OTFlag, " [ ", "  [ "},
        {"UT Flag : ", ctl::EditUTF, &EvtTest::UTFlag, " [ ", "  [ "},
    };
    bool flagsRead = false;
    for (size_t i = 0; i < std::size(kFlags); ++i) {
      const Flag& f = kFlags[i];
      open();
      if (i == 0) flagsRead = reads_.ReadProtectionFlagsCan();
      const int state = c_.color(f.field) == colour::Red ? 1 : 0;
      const QString title = QString::fromLatin1(f.title);
      itemTitle(title + num(e.*f.expected) + QStringLiteral("  Test  :  "));
      // The five flags after OV come from the same answer: without it none of them is this pack's.
      const bool pass = flagsRead && state == e.*f.expected;
      result(pass, QStringLiteral("  [ ") + num(state) + QStringLiteral(" ]  ........  PASS"),
             QString::fromLatin1(f.ngBracket) + num(state) + QStringLiteral(" ]  ........  NG"),
             title + QString::fromLatin1(f.failBracket) + num(state) + QStringLiteral(" ]  ........  NG"));
      if (i + 1 < std::size(kFlags) && !flag()) return false;
    }
    return true;
  }

  // A broadcast of the identifier decoded since the run began (the fields it keeps are this pack's).
  bool broadcastSince(uint32_t identifier, size_t slot) const {
    return t_.counts_.broadcasts(identifier) > broadcastsAtStart_[slot];
  }

  // d) The clock item from its title on; false when a flag check ends the run.
  bool Clock(const EvtTestSet& s) {
    const QDateTime pc = platform::now();
    const QDate date = pc.date();
    const QTime time = pc.time();
    const long long pcDate = date.year() * 10000LL + date.month() * 100 + date.day();
    const long long pcSeconds = time.hour() * 3600LL + time.minute() * 60 + time.second();
    records_.EVT_TEST.with([](EvtTest& e) {
      e.PackRtcYear = e.PackRtcMonth = e.PackRtcDay = e.PackRtcHour = e.PackRtcMinute = e.PackRtcSecond = 0;
    });
    const uint64_t before = t_.counts_.decoded(msg::kPackClock, 0);
    if (t_.actions.requestRtc) t_.actions.requestRtc();
    const bool fresh = t_.counts_.decoded(msg::kPackClock, 0) != before;
    const EvtTest e = test();
    const QString packClock = num(e.PackRtcYear) + QLatin1Char('.') + num(e.PackRtcMonth) + QLatin1Char('.') +
                              num(e.PackRtcDay) + QStringLiteral("  ") + num(e.PackRtcHour) + QLatin1Char(':') +
                              num(e.PackRtcMinute) + QLatin1Char(':') + num(e.PackRtcSecond);
    itemTitle(QStringLiteral("PC RTC : ") + pc.toString(QStringLiteral("yyyy.MM.dd")) + QStringLiteral("  ") +
              pc.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  Test  :  "));
    const long long dateDiff = e.PackRtcDate - pcDate;
    const long long clockDiff = std::llabs(e.PackRtcSeconds - pcSeconds);
    const long long firstDiff = std::llabs(static_cast<long long>(e.PackRtcSeconds) - e.WrittenRtcSeconds);
    bool firstWrite = true;
    if (s.RTCWrite == 1) {
      firstWrite = firstDiff >= e.DateTimeFirstToCheckRange;
      line(QStringLiteral("FirstWrite : ") + num(e.WrittenRtcSeconds) + QStringLiteral(" sec."));
      line(QStringLiteral("Read HW RTC Now : ") + num(e.PackRtcSeconds) + QStringLiteral(" sec."));
      line(QStringLiteral("Total Second Range : ") + num(firstDiff) + QStringLiteral(" sec."));
      line(QStringLiteral("Check First Waite Total Second Range : ") + num(e.DateTimeFirstToCheckRange) +
           QStringLiteral(" sec."));
      line(QString());
    }
    line(QStringLiteral("Read PC Time Total Second : ") + num(pcSeconds));
    line(QStringLiteral("Read BMS RTC Total Second : ") + num(e.PackRtcSeconds));
    line(QStringLiteral("Total Second Range : ") + num(clockDiff));
    line(QStringLiteral("Check Total Second Range  : ") + num(e.DateTimeAccuracyRange) + QStringLiteral(" sec."));
    const bool pass = fresh && firstWrite && dateDiff == 0 && clockDiff <= e.DateTimeAccuracyRange;
    result(pass, QStringLiteral("  [ ") + packClock + QStringLiteral(" ]"),
           QStringLiteral("H/W RTC : ") + QStringLiteral(" [ ") + packClock + QStringLiteral(" ]  ........  NG"));
    return true;
  }

  // h) The cell items and the extremes; false when a flag check ends the run.
  bool Cells(const EvtTest& e) {
    line(QString());
    platform::sleepMs(50);
    const CellVoltsRead first = reads_.ReadCellVoltsCan();
    platform::sleepMs(50);
    const CellVoltsRead second = reads_.ReadCellVoltsCan();
    std::array<bool, 4> fresh{};
    for (size_t q = 0; q < 4; ++q) fresh[q] = first.fresh[q] || second.fresh[q];
    std::array<QString, kCellsChecked> texts;
    for (int i = 0; i < kCellsChecked; ++i) texts[static_cast<size_t>(i)] = c_.text(ctl::kCellEdits[static_cast<size_t>(i)]);
    platform::sleepMs(50);
    const bool configRead = reads_.ReadCellConfigCan();
    const int series = set().CellSeries;
    if (!configRead || series < 1 || series > kCellsChecked) {
      fail(QStringLiteral("Cell Voltage Series Read :  ........  NG"));
    }
    // No cell past the thirteenth: the pack reports no more.
    const int cells = std::clamp(series, 0, kCellsChecked);
    const auto cellFresh = [&](int i) { return fresh[static_cast<size_t>(std::min((i - 1) / 4, 3))]; };
    const uint32_t high = static_cast<uint32_t>(e.CellVoltMax);
    const uint32_t low = static_cast<uint32_t>(e.CellVoltMin);
    // A cleared flag ends the cells; the extremes are still shown.
    for (int i = 1; i <= cells; ++i) {
      if (!flag()) break;
      open();
      itemTitle(QStringLiteral("Cell Volt ") + num(i) + QStringLiteral(" Range : ") + QString::number(high) +
                QStringLiteral(" mV to ") + QString::number(low) + QStringLiteral(" mV  Test  :  "));
      const QString text = texts[static_cast<size_t>(i - 1)];
      const std::optional<long long> v = numberOf(text);
      const QString shown = v ? num(*v) : text;
      const uint32_t value = v ? static_cast<uint32_t>(*v) : 0;
      const bool pass = cellFresh(i) && v && low <= value && value <= high;
      result(pass, QStringLiteral("  [ ") + shown + QStringLiteral(" mV ]"),
             QStringLiteral("Cell Volt ") + num(i) + QStringLiteral(" Range : ") + QStringLiteral(" [ ") + shown +
                 QStringLiteral(" mV ]  ........  NG"));
    }
    // The extremes over the cells counted (the first entry alone for a count of 0 or 1).
    const int spanned = std::max(cells, 1);
    cellsFresh_ = true;
    for (int i = 1; i <= spanned; ++i) cellsFresh_ = cellsFresh_ && cellFresh(i);
    const auto [highest, lowest] = records_.CellVoltArray.with([&](const mainwindow::CanCellVolts& v) {
      return std::pair{mainwindow::MaxOfU16(v.volts.data(), cells), mainwindow::MinOfU16(v.volts.data(), cells)};
    });
    mainwindow::ShowCellSpread(c_, highest, lowest);
    return flag();
  }

  // ---- the end --------------------------------------------------------------------------------------------
  void End() {
    // Only a run that went through every repetition can pass.
    const bool completed = flag();
    const EvtTestSet s = set();
    switch (s.Sleep_or_DeepSleep_Status_AfterEndTest) {
      case 0:
        title(QStringLiteral("Last CMD : none."));
        break;
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
    line(kSeparator);
    line(QStringLiteral("Total Test Failed Report  :  "));
    const EvtTest e = test();
    const int32_t stored = e.FailLinesStored();
    for (int32_t i = 1; i <= stored; ++i) line(e.FailLines[static_cast<size_t>(i)]);
    if (e.FailLinesLeftOut() > 0) {
      line(QStringLiteral("... ") + num(e.FailLinesLeftOut()) + QStringLiteral(" more failed items not listed."));
    }
    if (e.FailCount < 1) line(QStringLiteral("Test items no any failed."));
    line(QStringLiteral(" "));
    line(kSeparator);
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
    line(kSeparator);
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

    const ReportWritten report = WriteTestReport(t_.reportFolder ? t_.reportFolder() : link::ExeDirectory(), workNumber_, barcode_, platform::now(),
                                                 verdict, c_.items(ctl::MemoLog));
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

  FunctionTest& t_;
  Controls& c_;
  link::Link& link_;
  mainwindow::MainState& state_;
  mainwindow::SharedRecords& records_;
  FunctionTestReads reads_;
  int step_ = 0;
  bool opened_ = false;
  bool closed_ = false;
  std::optional<link::CanSessionScope> session_;
  QString workNumber_;
  QString barcode_;
  std::array<uint64_t, 3> broadcastsAtStart_{};  // 0x401, 0x402, 0x403
  bool cellsFresh_ = false;
};

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
    c.setPanel(ctl::StatusBarView, kMessagePanel, QStringLiteral("  The adapter is in use : stop it first."));
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
