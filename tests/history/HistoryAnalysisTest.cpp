// The history lines of the diagnosis report from LEAD and LAST event records.

#include "eeprom/HistoryAnalysis.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::eeprom {
namespace {

using mainwindow::PackStamp;
using mainwindow::ReportRecord;

constexpr uint8_t kChargeStop = 130, kDischargeStop = 132, kDeepSleep = 135, kChargeStart = 129;

HistoryRecord rec(uint8_t event, uint8_t soc, int y, int mo, int d, int h, int mi = 0, int s = 0) {
  return {PackStamp{uint8_t(y - 2000), uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s)}, soc, event};
}

// One report read: the LEAD records, then the LAST records, over one state.
HistoryLabels readHistory(ReportRecord& report, const std::vector<HistoryRecord>& lead,
                          const std::vector<HistoryRecord>& last = {}) {
  ReportHistoryState state;
  HistoryLabels labels;
  StartHistoryRead(report, state);
  for (const auto& r : lead) AnalyzeHistoryRecord(report, state, r, labels);
  for (const auto& r : last) AnalyzeHistoryRecord(report, state, r, labels);
  return labels;
}

ReportRecord pack(uint8_t soc = 50, uint32_t designCapacity = 8200) {
  ReportRecord r;
  r.stateOfCharge = soc;
  r.designCapacity = designCapacity;
  return r;
}

TEST(HistoryAnalysis, ChargeStopAboveEightyIsAlsoAFullCharge) {
  const struct {
    uint8_t soc;
    bool full;
  } cases[] = {{81, true}, {80, false}, {100, true}, {0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.soc));
    ReportRecord report = pack();
    const auto labels = readHistory(report, {rec(kChargeStop, c.soc, 2018, 7, 3, 14, 5)});
    EXPECT_EQ(labels.lastChgDate, "2018-7-3 14:5");
    EXPECT_EQ(labels.lastChgSoc, QString::number(c.soc) + " %");
    EXPECT_EQ(report.lastChargeSoc, c.soc);
    EXPECT_EQ(labels.fstFullChgDate.has_value(), c.full);
    EXPECT_EQ(labels.lastFullChgDate.has_value(), c.full);
    if (c.full) {
      EXPECT_EQ(labels.fstFullChgDate, "2018-7-3 14:5");
    }
  }
}

TEST(HistoryAnalysis, AChargeInTheSameMinuteChangesNothingWhateverItsSeconds) {
  ReportRecord report = pack();
  const auto labels =
      readHistory(report, {rec(kChargeStop, 60, 2018, 5, 3, 8, 30, 1), rec(kChargeStop, 70, 2018, 5, 3, 8, 30, 59)});
  EXPECT_EQ(report.lastCharge.second, 1);
  EXPECT_EQ(labels.lastChgSoc, "60 %");
}

TEST(HistoryAnalysis, TheLatestChargeWinsAcrossBothListsAndALaterMinuteIsLater) {
  ReportRecord report = pack();
  const auto labels = readHistory(report,
                                  {rec(kChargeStop, 90, 2018, 5, 1, 10), rec(kChargeStop, 91, 2018, 5, 3, 8, 30)},
                                  {rec(kChargeStop, 92, 2018, 5, 3, 8, 29), rec(kChargeStart, 93, 2019, 1, 1, 0)});
  EXPECT_EQ(labels.lastChgDate, "2018-5-3 8:30");
  EXPECT_EQ(labels.lastChgSoc, "91 %");
  EXPECT_EQ(report.lastChargeText, "2018-5-3 8:30");
  // Full charges: the first by date, the last the last in list order that is later than the first.
  EXPECT_EQ(labels.fstFullChgDate, "2018-5-1 10:0");
  EXPECT_EQ(labels.lastFullChgDate, "2018-5-3 8:29");
}

TEST(HistoryAnalysis, AnEarlierFullChargeBecomesTheFirst) {
  ReportRecord report = pack();
  const auto labels = readHistory(report, {rec(kChargeStop, 95, 2018, 6, 1, 10), rec(kChargeStop, 95, 2018, 5, 1, 10)});
  EXPECT_EQ(labels.fstFullChgDate, "2018-5-1 10:0");
  EXPECT_EQ(labels.lastFullChgDate, "2018-6-1 10:0");  // left from the first record; the earlier one is not later
}

TEST(HistoryAnalysis, DepletionsFollowTheLowestSoc) {
  ReportRecord report = pack(50);
  const auto labels =
      readHistory(report, {rec(kDischargeStop, 10, 2018, 4, 10, 9), rec(kDischargeStop, 12, 2018, 3, 1, 9),
                           rec(kDischargeStop, 10, 2018, 4, 1, 9), rec(kDischargeStop, 9, 2018, 4, 20, 9)});
  // SOC 12 is above the lowest (10): that record changes nothing.
  EXPECT_EQ(labels.fstDsgDepletionDate, "2018-4-1 9:0");
  EXPECT_EQ(labels.lastDsgDepletionDate, "2018-4-20 9:0");
  EXPECT_EQ(report.firstDepletion.day, 1);
  EXPECT_EQ(report.firstDepletion.month, 4);
}

TEST(HistoryAnalysis, TheTimeFromLowSocToTheFirstChargeAfterIt) {
  ReportRecord report = pack(50, 8200);
  const auto labels = readHistory(report,
                                  {rec(kDischargeStop, 3, 2018, 2, 28, 9), rec(kDeepSleep, 0, 2018, 3, 1, 22, 15)},
                                  {rec(kChargeStop, 40, 2018, 3, 2, 5, 40), rec(kChargeStop, 60, 2018, 3, 9, 5)});
  EXPECT_EQ(labels.maxChgLowSocSinceDate, "2018-3-1 22:15");
  EXPECT_EQ(labels.extDsgRecAtDate, "2018-3-2 5:40");  // only the first charge after low SOC counts
  EXPECT_EQ(labels.maxDurationLowSoc0Hours, "7 hours");
  EXPECT_EQ(labels.soc0ChgCap, "246 mAh");
}

TEST(HistoryAnalysis, TheCapacityLineTakesThePacksSocWhenNoDepletionCame) {
  const struct {
    uint8_t soc;
    uint32_t design;
    const char* text;
  } cases[] = {{50, 8200, "4100 mAh"}, {0, 8200, "0 mAh"}, {2, 0x80000000u, "0 mAh"}};  // the product wraps at 32 bits
  for (const auto& c : cases) {
    ReportRecord report = pack(c.soc, c.design);
    const auto labels = readHistory(report, {rec(kDeepSleep, 0, 2018, 3, 1, 22), rec(kChargeStop, 40, 2018, 3, 2, 5)});
    EXPECT_EQ(labels.soc0ChgCap, c.text);
  }
}

TEST(HistoryAnalysis, TwoLowSocRecordsBeforeTheChargeShowNoDuration) {
  ReportRecord report = pack();
  const auto labels = readHistory(report, {rec(kDeepSleep, 0, 2018, 3, 5, 1), rec(kDeepSleep, 0, 2018, 3, 1, 22),
                                           rec(kDeepSleep, 5, 2018, 2, 1, 0),  // not at SOC 0: no low SOC
                                           rec(kChargeStop, 40, 2018, 3, 6, 5)});
  EXPECT_EQ(labels.maxChgLowSocSinceDate, "2018-3-1 22:0");
  EXPECT_EQ(labels.extDsgRecAtDate, "2018-3-6 5:0");
  EXPECT_FALSE(labels.maxDurationLowSoc0Hours);
  EXPECT_FALSE(labels.soc0ChgCap);
}

TEST(HistoryAnalysis, AChargeEarlierThanTheLowSocRecordGivesNoDuration) {
  ReportRecord report = pack();
  report.chargeAfterLowSoc = PackStamp{17, 1, 1, 0, 0, 0};  // left by an earlier pack
  const auto labels = readHistory(report, {rec(kDeepSleep, 0, 2018, 3, 5, 1), rec(kChargeStop, 40, 2018, 3, 1, 5),
                                           rec(kChargeStop, 40, 2018, 3, 7, 5)});
  EXPECT_FALSE(labels.extDsgRecAtDate);
  EXPECT_FALSE(labels.maxDurationLowSoc0Hours);
  EXPECT_EQ(report.chargeAfterLowSoc.year, 0);
}

TEST(HistoryAnalysis, DurationTexts) {
  const struct {
    uint32_t hours;
    const char* text;
  } cases[] = {{0, "0 hour"}, {1, "1 hour"},          {2, "2 hours"},         {23, "23 hours"},
               {24, "1 day"}, {25, "1 days 1 hours"}, {48, "2 days 0 hours"}, {49, "2 days 1 hours"}};
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.hours), c.text) << c.hours;
}

TEST(HistoryAnalysis, ARepeatedReadAndASecondPackStartAfresh) {
  const std::vector<HistoryRecord> first = {rec(kChargeStop, 95, 2019, 6, 1, 10), rec(kDischargeStop, 4, 2019, 6, 2, 1),
                                            rec(kDeepSleep, 0, 2019, 6, 3, 1), rec(kChargeStop, 30, 2019, 6, 4, 2)};
  ReportRecord report = pack(50);
  const auto once = readHistory(report, first);
  report.stateOfCharge = 50;  // the pack's record comes again before each read
  const auto twice = readHistory(report, first);
  EXPECT_EQ(once, twice);
  EXPECT_EQ(twice.maxDurationLowSoc0Hours, "1 days 1 hours");

  // A second pack whose history is older than the first's shows its own.
  const auto other = readHistory(report, {rec(kChargeStop, 85, 2018, 1, 1, 1)});
  EXPECT_EQ(other.lastChgDate, "2018-1-1 1:0");
  EXPECT_EQ(other.fstFullChgDate, "2018-1-1 1:0");
  EXPECT_FALSE(other.fstDsgDepletionDate);
  EXPECT_EQ(report.lastDepletion.year, 0);
}

TEST(HistoryAnalysis, ARecordWithAMissingPartIsLeftOut) {
  ReportRecord report = pack();
  ReportHistoryState state;
  HistoryLabels labels;
  StartHistoryRead(report, state);
  mainwindow::EepBlockBuffer buffer;
  buffer.dateTime = {18, 5, 3, 8, 30, 0};
  buffer.stateOfCharge = 90;
  buffer.flag = kChargeStop;
  for (uint8_t parts : {0x00, 0x07, 0x0B, 0x0E}) {
    buffer.partsReceived = parts;
    EXPECT_FALSE(AnalyzeHistoryBuffer(report, state, buffer, labels)) << int(parts);
  }
  EXPECT_EQ(labels, HistoryLabels{});
  buffer.partsReceived = mainwindow::EepBlockBuffer::kAllParts;
  EXPECT_TRUE(AnalyzeHistoryBuffer(report, state, buffer, labels));
  EXPECT_EQ(labels.lastChgDate, "2018-5-3 8:30");
  EXPECT_EQ(labels.fstFullChgDate, "2018-5-3 8:30");
}

}  // namespace
}  // namespace qv::eeprom
