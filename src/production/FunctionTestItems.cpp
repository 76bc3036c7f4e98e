#include "production/FunctionTest.h"

#include "link/CanLayer.h"
#include "mainwindow/CellSpread.h"
#include "platform/Time.h"
#include "production/FunctionTestRun.h"

#include <algorithm>
#include <cstdlib>

namespace qv::production {

namespace ctl = mainwindow::ctl;
namespace msg = link::msg;

namespace {

constexpr int kCellsChecked = mainwindow::CanCellVolts::kCells;

}  // namespace

// A range item as its reads left it: the limits, the value and whether the value is this pack's. Its lines:
// the title "<name><high><unit> to <low><unit>  Test  :  ", then "  [ <value><unit> ]" with PASS or NG, and on NG
// the failure "<name> [ <value><unit> ]  ........  NG".
struct FunctionTest::Run::Range {
  QString name;                        // "SOC : ", "Cell Volt 3 Range : ", ...
  QString unit;                        // " %", " mV", ...
  std::optional<long long> low, high;  // none: no limit known, shown "NULL"
  std::optional<long long> value;      // none: the field holds no number
  QString shown;                       // the value as the lines show it
  bool fresh = false;                  // read (or broadcast) during this run
  bool asUnsigned = false;             // compared and its limits shown as unsigned 32-bit numbers
  QString ngOpen = QStringLiteral("  [ ");

  QString limit(const std::optional<long long>& v) const {
    if (!v) return QStringLiteral("NULL");
    return asUnsigned ? QString::number(static_cast<uint32_t>(*v)) : QString::number(*v);
  }
  QString title() const {
    return name + limit(high) + unit + QStringLiteral(" to ") + limit(low) + unit + QStringLiteral("  Test  :  ");
  }
  bool within() const {
    if (!fresh || !value || !low || !high) return false;
    if (asUnsigned) {
      const auto v = static_cast<uint32_t>(*value);
      return static_cast<uint32_t>(*low) <= v && v <= static_cast<uint32_t>(*high);
    }
    return *low <= *value && *value <= *high;
  }
};

// The range items that read a field: where their value and limits come from, and what their lines show.
struct FunctionTest::Run::RangeItem {
  const char* name;
  const char* unit;
  Control field;
  int32_t EvtTest::*low;  // around the ambient temperature: the tolerance both ways
  int32_t EvtTest::*high;
  bool aroundAmbient;                 // the limits are EditEVTT1 less and plus the tolerance
  bool (FunctionTestReads::*read)();  // none: the value comes from the broadcasts alone
  bool readBeforeTitle;
  uint32_t broadcast;  // the broadcast that keeps the field current; 0: none
  enum class Shown { Text, TextOrNull, Number } shown;
  const char* ngOpen;
};

// The repetitions of the check items, TestRepeatCnt of them.
void FunctionTest::Run::Checks() {
  const int repeats = set().TestRepeatCnt;
  for (int r = 1; r <= repeats; ++r) {
    line(QStringLiteral(" "));
    line(separator());
    c_.setPanel(ctl::StatusBarView, kMessagePanel, QString());
    phase(QStringLiteral("Testing"));
    line(QStringLiteral("自動檢測開始  :  第") + num(r) + QStringLiteral("次"));
    if (!flag()) return;
    if (!Repetition()) return;
  }
}

// One pass over the items; false when a flag check ends the run.
bool FunctionTest::Run::Repetition() {
  const EvtTestSet s = set();
  EvtTest e = test();

  if (!Barcode(s)) return false;

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

  // e) to g), and after the cells and their balance j) and k): a field against its limits.
  using Shown = RangeItem::Shown;
  static constexpr RangeItem kBeforeCells[] = {
      // State of charge and of health, kept current by the broadcasts 0x402 and 0x403.
      {"SOC : ", " %", ctl::EditRSOC, &EvtTest::SOCMin, &EvtTest::SOCMax, false, &FunctionTestReads::Read1006Can, false,
       link::kCanCapacity, Shown::Text, "  [  "},
      {"SOH : ", " %", ctl::EditASOC, &EvtTest::SOHMin, &EvtTest::SOHMax, false, &FunctionTestReads::Read1006Can, true,
       link::kCanHealth, Shown::Text, "  [  "},
      // Temperature T1 around the ambient temperature.
      {"T1 Range : ", " ℃", ctl::EditT1, &EvtTest::T1Range, &EvtTest::T1Range, true,
       &FunctionTestReads::ReadTemperaturesCan, true, 0, Shown::TextOrNull, "  [ "},
  };
  // Pack voltage and current, kept current by the broadcast 0x401.
  static constexpr RangeItem kAfterCells[] = {
      {"Pack Volt Range : ", " mV", ctl::Edit401hPackVoltage, &EvtTest::PackVoltMin, &EvtTest::PackVoltMax, false,
       nullptr, false, link::kCanVoltageCurrent, Shown::Number, "  [ "},
      {"Pack Current Range : ", " mA", ctl::Edit401hPackCurrent, &EvtTest::PackCurrentMin, &EvtTest::PackCurrentMax,
       false, nullptr, false, link::kCanVoltageCurrent, Shown::Number, "  [ "},
  };
  e = test();
  for (const RangeItem& item : kBeforeCells) {
    if (!Ranged(item, e)) return false;
  }
  // h) Cell voltages, one step per cell, and i) their balance.
  if (!Cells(e)) return false;
  if (!Balance(e)) return false;
  for (const RangeItem& item : kAfterCells) {
    if (!Ranged(item, e)) return false;
  }

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

  return Flags(e);
}

// a) Barcode: the one the pack answered during this item against the one typed.
bool FunctionTest::Run::Barcode(const EvtTestSet& s) {
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
  return flag();
}

// One range item in its frame, from its reads to its flag check; false when that ends the run.
bool FunctionTest::Run::Ranged(const RangeItem& item, const EvtTest& e) {
  open();
  bool read = true;
  if (item.read != nullptr && item.readBeforeTitle) read = (reads_.*item.read)();
  Range r;
  r.name = QString::fromUtf8(item.name);
  r.unit = QString::fromUtf8(item.unit);
  if (item.aroundAmbient) {
    if (const std::optional<long long> ambient = numberOf(c_.text(ctl::EditEVTT1))) {
      r.low = *ambient - e.*item.low;
      r.high = *ambient + e.*item.high;
    }
  } else {
    r.low = e.*item.low;
    r.high = e.*item.high;
  }
  itemTitle(r.title());
  if (item.read != nullptr && !item.readBeforeTitle) read = (reads_.*item.read)();
  const QString text = c_.text(item.field);
  r.value = numberOf(text);
  switch (item.shown) {
    case RangeItem::Shown::Text: r.shown = text; break;
    case RangeItem::Shown::TextOrNull: r.shown = text.isEmpty() ? QStringLiteral("NULL") : text; break;
    case RangeItem::Shown::Number: r.shown = r.value ? num(*r.value) : text; break;
  }
  r.fresh = read && (item.broadcast == 0 || broadcastSince(item.broadcast));
  r.ngOpen = QString::fromUtf8(item.ngOpen);
  rangeResult(r);
  return flag();
}

void FunctionTest::Run::rangeResult(const Range& r) {
  const QString value = r.shown + r.unit + QStringLiteral(" ]  ........  ");
  result(r.within(), QStringLiteral("  [ ") + value + QStringLiteral("PASS"), r.ngOpen + value + QStringLiteral("NG"),
         r.name + QStringLiteral(" [ ") + value + QStringLiteral("NG"));
}

// i) Cell balance, the spread the cell item left behind against its limit.
bool FunctionTest::Run::Balance(const EvtTest& e) {
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
  return flag();
}

// m) Protection flags, all six from the one read; false when a flag check ends the run.
bool FunctionTest::Run::Flags(const EvtTest& e) {
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

void FunctionTest::Run::countBroadcasts() {
  // Broadcasts from before the run do not count for it.
  for (size_t i = 0; i < kBroadcasts.size(); ++i) broadcastsAtStart_[i] = t_.counts_.broadcasts(kBroadcasts[i]);
}

bool FunctionTest::Run::broadcastSince(uint32_t identifier) const {
  for (size_t i = 0; i < kBroadcasts.size(); ++i) {
    if (kBroadcasts[i] == identifier) return t_.counts_.broadcasts(identifier) > broadcastsAtStart_[i];
  }
  return false;
}

// d) The clock item from its title on; false when a flag check ends the run.
bool FunctionTest::Run::Clock(const EvtTestSet& s) {
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
bool FunctionTest::Run::Cells(const EvtTest& e) {
  line(QString());
  platform::sleepMs(50);
  const CellVoltsRead first = reads_.ReadCellVoltsCan();
  platform::sleepMs(50);
  const CellVoltsRead second = reads_.ReadCellVoltsCan();
  std::array<bool, 4> fresh{};
  for (size_t q = 0; q < 4; ++q) fresh[q] = first.fresh[q] || second.fresh[q];
  std::array<QString, kCellsChecked> texts;
  for (int i = 0; i < kCellsChecked; ++i)
    texts[static_cast<size_t>(i)] = c_.text(ctl::kCellEdits[static_cast<size_t>(i)]);
  platform::sleepMs(50);
  const bool configRead = reads_.ReadCellConfigCan();
  const int series = set().CellSeries;
  if (!configRead || series < 1 || series > kCellsChecked) {
    fail(QStringLiteral("Cell Voltage Series Read :  ........  NG"));
  }
  // No cell past the thirteenth: the pack reports no more.
  const int cells = std::clamp(series, 0, kCellsChecked);
  const auto cellFresh = [&](int i) { return fresh[static_cast<size_t>(std::min((i - 1) / 4, 3))]; };
  // A cleared flag ends the cells; the extremes are still shown.
  for (int i = 1; i <= cells; ++i) {
    if (!flag()) break;
    open();
    const QString text = texts[static_cast<size_t>(i - 1)];
    const std::optional<long long> v = numberOf(text);
    // clang-format off
    Range r{QStringLiteral("Cell Volt ") + num(i) + QStringLiteral(" Range : "), QStringLiteral(" mV"), e.CellVoltMin,
            e.CellVoltMax, v, v ? num(*v) : text, cellFresh(i)};
    // clang-format on
    r.asUnsigned = true;
    itemTitle(r.title());
    rangeResult(r);
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

}  // namespace qv::production
