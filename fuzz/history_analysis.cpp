// The history analysis over any records, read after read: the labels and stamps it leaves are those of the
// per-record rules worked through a second time here (last charge, full charge, depletion, low SOC, the first
// charge after it and the span between), with stamps compared by year, month, day, hour and minute; a duration
// shown is never negative and is the hours a second calendar count finds between the two stamps; the counts
// stay within the records read; a record with a part missing changes nothing.

#include "FuzzCalendar.h"
#include "FuzzSupport.h"
#include "eeprom/HistoryAnalysis.h"

#include <optional>
#include <string>
#include <tuple>

using namespace qv;
using mainwindow::PackStamp;

namespace {

auto order(const PackStamp& s) { return std::make_tuple(s.year, s.month, s.day, s.hour, s.minute); }
bool after(const PackStamp& a, const PackStamp& b) { return order(a) > order(b); }
bool same(const PackStamp& a, const PackStamp& b) { return order(a) == order(b) && a.second == b.second; }

QString text(const PackStamp& s) {
  return QString::fromStdString(std::to_string(2000 + s.year) + "-" + std::to_string(s.month) + "-" +
                                std::to_string(s.day) + " " + std::to_string(s.hour) + ":" + std::to_string(s.minute));
}

QString duration(long long h) {
  if (h < 2) return QString::fromStdString(std::to_string(h) + " hour");
  if (h < 24) return QString::fromStdString(std::to_string(h) + " hours");
  if (h == 24) return QStringLiteral("1 day");
  return QString::fromStdString(std::to_string(h / 24) + " days " + std::to_string(h % 24) + " hours");
}

// The rules once more, over their own copy of what the analysis keeps.
struct Model {
  PackStamp lastCharge, firstFull, lastFull, firstDepletion, lastDepletion, lowSince, chargeAfter;
  uint8_t lastChargeSoc = 0;
  bool fullSeen = false, depletionSeen = false, lowSeen = false, chargeAfterThisRead = false;
  int lowCount = 0, chargeAfterCount = 0, records = 0;
  uint8_t lowest = 0;
  uint32_t capacity = 0;
  eeprom::HistoryLabels labels;

  void start(uint8_t soc, uint32_t designCapacity) {
    *this = Model{};
    lowest = soc;
    capacity = designCapacity;
  }

  void record(const PackStamp& s, uint8_t c, uint8_t e) {
    ++records;
    if (e == 130 && after(s, lastCharge)) {
      lastCharge = s;
      lastChargeSoc = c;
      labels.lastChgDate = text(s);
      labels.lastChgSoc = QString::number(c) + " %";
    }
    if (e == 130 && c > 80) {
      if (!fullSeen) {
        fullSeen = true;
        firstFull = s;
        labels.fstFullChgDate = labels.lastFullChgDate = text(s);
      } else {
        if (after(firstFull, s)) {
          firstFull = s;
          labels.fstFullChgDate = text(s);
        }
        if (after(s, firstFull)) {
          lastFull = s;
          labels.lastFullChgDate = text(s);
        }
      }
    }
    if (e == 132) {
      if (!depletionSeen) {
        depletionSeen = true;
        lowest = c;
        firstDepletion = s;
        labels.fstDsgDepletionDate = labels.lastDsgDepletionDate = text(s);
      } else if (c <= lowest) {
        lowest = c;
        if (after(firstDepletion, s)) {
          firstDepletion = s;
          labels.fstDsgDepletionDate = text(s);
        }
        if (after(s, lastDepletion)) {
          lastDepletion = s;
          labels.lastDsgDepletionDate = text(s);
        }
      }
    }
    if (e == 135 && c == 0) {
      ++lowCount;
      if (!lowSeen || after(lowSince, s)) {
        lowSeen = true;
        lowSince = s;
        labels.maxChgLowSocSinceDate = text(s);
      }
      return;
    }
    if (!(lowSeen && e == 130 && lowCount > 0 && chargeAfterCount == 0)) return;
    chargeAfterCount = 1;
    if (after(s, lowSince)) {
      chargeAfter = s;
      chargeAfterThisRead = true;
      labels.extDsgRecAtDate = text(s);
    }
    if (lowCount != 1) return;
    chargeAfterCount = 2;
    labels.soc0ChgCap = QString::number(static_cast<uint32_t>(uint64_t{capacity} * lowest) / 100) + " mAh";
    if (!chargeAfterThisRead) return;
    const int y1 = 2000 + lowSince.year, y2 = 2000 + chargeAfter.year;
    if (!fuzz::calendarDate(y1, lowSince.month, lowSince.day) ||
        !fuzz::calendarDate(y2, chargeAfter.month, chargeAfter.day))
      return;
    const long long between = fuzz::days(y2, chargeAfter.month, chargeAfter.day) -
                              fuzz::days(y1, lowSince.month, lowSince.day);
    const long long h = between < 0 ? 0 : 24 * between + chargeAfter.hour - lowSince.hour;
    if (h >= 0) labels.maxDurationLowSoc0Hours = duration(h);
  }
};

PackStamp stampFrom(fuzz::Input& in, const PackStamp& near) {
  // Mostly a stamp near the last one (the order of a list matters), sometimes any bytes.
  const uint8_t how = in.u8();
  if ((how & 0x03) == 0) return PackStamp{in.u8(), in.u8(), in.u8(), in.u8(), in.u8(), in.u8()};
  PackStamp s = near;
  if ((how & 0x03) == 1) {
    s.year = static_cast<uint8_t>(s.year + (how >> 2) % 3 - 1);
    s.month = static_cast<uint8_t>(in.u8() % 12 + 1);
  }
  s.day = static_cast<uint8_t>(in.u8() % 31 + 1);
  s.hour = static_cast<uint8_t>(in.u8() % 24);
  s.minute = static_cast<uint8_t>(in.u8() % 60);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  mainwindow::ReportRecord report;
  eeprom::ReportHistoryState state;
  eeprom::HistoryLabels labels;
  Model model;
  PackStamp near{18, 5, 5, 12, 0, 0};
  bool started = false;
  while (!in.empty()) {
    const uint8_t op = in.u8();
    if (!started || op % 16 == 0) {  // a new read of a pack whose report holds what the input says
      report.stateOfCharge = in.u8();
      report.designCapacity = (op & 0x10) != 0 ? in.u32() : in.u16();
      // What an earlier read left in the stamps is cleared by the start.
      report.lastCharge = PackStamp{in.u8(), in.u8(), in.u8(), 0, 0, 0};
      report.chargeAfterLowSoc = report.lastCharge;
      eeprom::StartHistoryRead(report, state);
      labels = {};
      model.start(report.stateOfCharge, report.designCapacity);
      started = true;
      continue;
    }
    mainwindow::EepBlockBuffer buffer;
    const PackStamp s = stampFrom(in, near);
    near = s;
    buffer.dateTime = {s.year, s.month, s.day, s.hour, s.minute, s.second};
    static constexpr uint8_t kEvents[] = {130, 132, 135, 130, 135};
    buffer.flag = (op & 0x08) != 0 ? in.u8() : kEvents[op % 5];
    const uint8_t socHow = in.u8();
    buffer.stateOfCharge = (socHow & 0x03) == 0   ? 0
                           : (socHow & 0x03) == 1 ? static_cast<uint8_t>(81 + socHow % 20)
                                                  : in.u8();
    buffer.partsReceived = (op & 0x20) != 0 ? static_cast<uint8_t>(in.u8() & 0x0F)
                                            : mainwindow::EepBlockBuffer::kAllParts;
    const eeprom::HistoryLabels before = labels;
    const bool analysed = eeprom::AnalyzeHistoryBuffer(report, state, buffer, labels);
    QV_FUZZ_CHECK(analysed == (buffer.partsReceived == mainwindow::EepBlockBuffer::kAllParts));
    if (!analysed) {
      QV_FUZZ_CHECK(labels == before);
      continue;
    }
    model.record(s, buffer.stateOfCharge, buffer.flag);

    QV_FUZZ_CHECK(labels == model.labels);
    QV_FUZZ_CHECK(same(report.lastCharge, model.lastCharge) && report.lastChargeSoc == model.lastChargeSoc);
    QV_FUZZ_CHECK(report.lastChargeText == (model.labels.lastChgDate ? *model.labels.lastChgDate : QString()));
    QV_FUZZ_CHECK(same(report.firstFullCharge, model.firstFull) && same(report.lastFullCharge, model.lastFull));
    QV_FUZZ_CHECK(same(report.firstDepletion, model.firstDepletion) && same(report.lastDepletion, model.lastDepletion));
    const auto& w = report.lowSocSince;
    QV_FUZZ_CHECK(same(PackStamp{static_cast<uint8_t>(w[0]), static_cast<uint8_t>(w[1]), static_cast<uint8_t>(w[2]),
                                 static_cast<uint8_t>(w[3]), static_cast<uint8_t>(w[4]), static_cast<uint8_t>(w[5])},
                       model.lowSince));
    QV_FUZZ_CHECK(state.lowestSoc == model.lowest);
    // The counts: within the records of this read.
    QV_FUZZ_CHECK(state.lowSocCount == model.lowCount && model.lowCount <= model.records);
    QV_FUZZ_CHECK(state.chargeAfterCount == model.chargeAfterCount && state.chargeAfterCount <= 2);
    if (labels.maxDurationLowSoc0Hours) QV_FUZZ_CHECK(!labels.maxDurationLowSoc0Hours->startsWith('-'));
  }
  return 0;
}
