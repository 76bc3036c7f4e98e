#include "eeprom/HistoryAnalysis.h"

#include "eeprom/ReportDates.h"

#include <tuple>

namespace qv::eeprom {

using mainwindow::PackStamp;
using mainwindow::ReportRecord;

namespace {

auto key(const PackStamp& s) { return std::tuple(s.year, s.month, s.day, s.hour, s.minute); }

// The low-SOC stamp is held as 16-bit values; the records never carry more than a byte.
PackStamp fromWide(const std::array<uint16_t, 6>& w) {
  return PackStamp{static_cast<uint8_t>(w[0]), static_cast<uint8_t>(w[1]), static_cast<uint8_t>(w[2]),
                   static_cast<uint8_t>(w[3]), static_cast<uint8_t>(w[4]), static_cast<uint8_t>(w[5])};
}
std::array<uint16_t, 6> toWide(const PackStamp& s) { return {s.year, s.month, s.day, s.hour, s.minute, s.second}; }

void fullCharge(ReportRecord& rep, ReportHistoryState& st, const PackStamp& s, HistoryLabels& out) {
  if (st.fullChargeSeen == 0) {
    st.fullChargeSeen = 1;
    rep.firstFullCharge = s;
    out.fstFullChgDate = out.lastFullChgDate = StampText(s);
    return;
  }
  if (StampLater(rep.firstFullCharge, s)) {
    rep.firstFullCharge = s;
    out.fstFullChgDate = StampText(s);
  }
  if (StampLater(s, rep.firstFullCharge)) {
    rep.lastFullCharge = s;
    out.lastFullChgDate = StampText(s);
  }
}

void depletion(ReportRecord& rep, ReportHistoryState& st, const HistoryRecord& r, HistoryLabels& out) {
  const PackStamp& s = r.stamp;
  if (st.depletionSeen == 0) {
    st.depletionSeen = 1;
    st.lowestSoc = r.stateOfCharge;
    rep.firstDepletion = s;
    out.fstDsgDepletionDate = out.lastDsgDepletionDate = StampText(s);
    return;
  }
  if (r.stateOfCharge > st.lowestSoc) return;
  st.lowestSoc = r.stateOfCharge;
  if (StampLater(rep.firstDepletion, s)) {
    rep.firstDepletion = s;
    out.fstDsgDepletionDate = StampText(s);
  }
  if (StampLater(s, rep.lastDepletion)) {
    rep.lastDepletion = s;
    out.lastDsgDepletionDate = StampText(s);
  }
}

void lowSoc(ReportRecord& rep, ReportHistoryState& st, const PackStamp& s, HistoryLabels& out) {
  ++st.lowSocCount;
  if (st.lowSocSeen == 0 || StampLater(fromWide(rep.lowSocSince), s)) {
    st.lowSocSeen = 1;
    rep.lowSocSince = toWide(s);
    out.maxChgLowSocSinceDate = StampText(s);
  }
}

void chargeAfterLowSoc(ReportRecord& rep, ReportHistoryState& st, const PackStamp& s, HistoryLabels& out) {
  // Only the first charge after low SOC is ever considered, whether or not it is later.
  st.chargeAfterCount = 1;
  if (StampLater(s, fromWide(rep.lowSocSince))) {
    rep.chargeAfterLowSoc = s;
    st.chargeAfterSetThisRead = true;
    out.extDsgRecAtDate = StampText(s);
  }
  if (st.lowSocCount != 1) return;  // two low-SOC records before the charge: no single span to show
  st.chargeAfterCount = 2;
  const uint32_t capacity = rep.designCapacity * static_cast<uint32_t>(st.lowestSoc) / 100U;
  out.soc0ChgCap = QString::number(capacity) + QStringLiteral(" mAh");
  // A charge earlier than the low-SOC record (a list out of time order) gives no span at all, rather than one
  // computed from a stamp this read never set.
  if (!st.chargeAfterSetThisRead) return;
  const PackStamp from = fromWide(rep.lowSocSince);
  const PackStamp& to = rep.chargeAfterLowSoc;
  const auto hours =
      HoursBetween(from.year + 2000, from.month, from.day, from.hour, to.year + 2000, to.month, to.day, to.hour);
  if (!hours || *hours < 0) return;  // a stamp with no such date
  out.maxDurationLowSoc0Hours = DurationText(static_cast<uint32_t>(*hours));
}

}  // namespace

bool StampLater(const PackStamp& a, const PackStamp& b) { return key(a) > key(b); }

QString StampText(const PackStamp& s) {
  return QStringLiteral("%1-%2-%3 %4:%5").arg(s.year + 2000).arg(s.month).arg(s.day).arg(s.hour).arg(s.minute);
}

QString DurationText(uint32_t hours) {
  if (hours <= 1) return QString::number(hours) + QStringLiteral(" hour");
  if (hours < 24) return QString::number(hours) + QStringLiteral(" hours");
  if (hours == 24) return QStringLiteral("1 day");
  return QStringLiteral("%1 days %2 hours").arg(hours / 24).arg(hours % 24);
}

void StartHistoryRead(ReportRecord& report, ReportHistoryState& state) {
  report.lastCharge = {};
  report.lastChargeSoc = 0;
  report.lastChargeText.clear();
  report.firstFullCharge = {};
  report.lastFullCharge = {};
  report.firstDepletion = {};
  report.lastDepletion = {};
  report.lowSocSince = {};
  report.chargeAfterLowSoc = {};
  state = ReportHistoryState{};
  state.lowestSoc = report.stateOfCharge;
}

void AnalyzeHistoryRecord(ReportRecord& report, ReportHistoryState& state, const HistoryRecord& record,
                          HistoryLabels& labels) {
  const PackStamp& s = record.stamp;
  const uint8_t e = record.flag;
  const uint8_t c = record.stateOfCharge;
  if (e == kEventChargeStop && StampLater(s, report.lastCharge)) {
    report.lastCharge = s;
    report.lastChargeSoc = c;
    report.lastChargeText = StampText(s);
    labels.lastChgDate = report.lastChargeText;
    labels.lastChgSoc = QString::number(c) + QStringLiteral(" %");
  }
  if (e == kEventChargeStop && c > 80) fullCharge(report, state, s, labels);
  if (e == kEventDischargeStop) depletion(report, state, record, labels);
  if (e == kEventDeepSleep && c == 0) {
    lowSoc(report, state, s, labels);
    return;
  }
  if (state.lowSocSeen == 1 && e == kEventChargeStop && state.lowSocCount > 0 && state.chargeAfterCount == 0)
    chargeAfterLowSoc(report, state, s, labels);
}

bool AnalyzeHistoryBuffer(ReportRecord& report, ReportHistoryState& state, const mainwindow::EepBlockBuffer& buffer,
                          HistoryLabels& labels) {
  if (!buffer.complete()) return false;
  const auto& t = buffer.dateTime;
  const HistoryRecord record{PackStamp{t[0], t[1], t[2], t[3], t[4], t[5]}, buffer.stateOfCharge, buffer.flag};
  AnalyzeHistoryRecord(report, state, record, labels);
  return true;
}

}  // namespace qv::eeprom
