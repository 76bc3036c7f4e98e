#pragma once
// The history lines of the diagnosis report, derived from the event records of the LEAD and LAST lists: the last
// charge, the first and last full charge, the first and last depletion, the first low-SOC record, the first
// charge after it with the time in between, and the capacity at the lowest depletion SOC.
//
// A report read calls StartHistoryRead once, then AnalyzeHistoryBuffer for every LEAD record and then for every
// LAST record with the same state, so that what the LEAD list leaves is where the LAST list goes on; each call
// writes the texts of the lines it changes into the HistoryLabels it is given.

#include "mainwindow/MainState.h"
#include "mainwindow/SharedRecords.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace qv::eeprom {

// The seen-flags and counts kept beside the report record while the lists are walked, plus the lowest depletion
// SOC and whether the charge after low SOC was found in this read.
struct ReportHistoryState {
  uint8_t fullChargeSeen = 0;
  uint8_t depletionSeen = 0;
  uint8_t lowSocSeen = 0;
  uint16_t lowSocCount = 0;
  uint16_t chargeAfterCount = 0;  // 0 before the first charge after low SOC, 1 while its duration is due, 2 once done
  uint8_t lowestSoc = 0;          // starts as the pack's present state of charge
  bool chargeAfterSetThisRead = false;
};

// The event codes the analysis looks at.
inline constexpr uint8_t kEventChargeStop = 130;
inline constexpr uint8_t kEventDischargeStop = 132;
inline constexpr uint8_t kEventDeepSleep = 135;

// One decoded record as the analysis sees it.
struct HistoryRecord {
  mainwindow::PackStamp stamp;
  uint8_t stateOfCharge = 0;
  uint8_t flag = 0;  // the event code when bit 7 is set
};

// The texts of the report's history lines; a line the analysis did not write stays empty (nullopt).
struct HistoryLabels {
  std::optional<QString> lastChgDate;              // Label_LastChgDate
  std::optional<QString> lastChgSoc;               // Label_LastChgSOC
  std::optional<QString> fstFullChgDate;           // Label_FstFullChgDate
  std::optional<QString> lastFullChgDate;          // Label_LastFullChgDate
  std::optional<QString> fstDsgDepletionDate;      // Label_FstDsgDepletionDate
  std::optional<QString> lastDsgDepletionDate;     // Label_LastDsgDepletionDate
  std::optional<QString> maxChgLowSocSinceDate;    // Label_MaxChgLowSOCsinceDate
  std::optional<QString> extDsgRecAtDate;          // Label_ExtDsgRecAtDate
  std::optional<QString> maxDurationLowSoc0Hours;  // Label_MaxDurationLowSOC0Hours
  std::optional<QString> soc0ChgCap;               // Label_SOC0ChgCap
  bool operator==(const HistoryLabels&) const = default;
};

// (year, month, day, hour, minute) of a greater than of b; seconds are carried but never compared.
bool StampLater(const mainwindow::PackStamp& a, const mainwindow::PackStamp& b);
// "%d-%d-%d %d:%d" with year + 2000, month, day, hour, minute.
QString StampText(const mainwindow::PackStamp& s);
// "h hour" (0 and 1), "h hours" (2 to 23), "1 day" (24), else "d days r hours".
QString DurationText(uint32_t hours);

// A new read (or a new last-charge search) starts from nothing: every history stamp of the report record, its
// last charge SOC and text are cleared and the state is reset, its lowest SOC taken from the report's present
// state of charge. A second read of the same pack thus shows what the first showed.
void StartHistoryRead(mainwindow::ReportRecord& report, ReportHistoryState& state);

// The per-record rules, applied to one record.
void AnalyzeHistoryRecord(mainwindow::ReportRecord& report, ReportHistoryState& state, const HistoryRecord& record,
                          HistoryLabels& labels);

// The record now in a LEAD or LAST buffer; a record with a part that did not arrive is left out. True when it was
// analysed.
bool AnalyzeHistoryBuffer(mainwindow::ReportRecord& report, ReportHistoryState& state,
                          const mainwindow::EepBlockBuffer& buffer, HistoryLabels& labels);

}  // namespace qv::eeprom
