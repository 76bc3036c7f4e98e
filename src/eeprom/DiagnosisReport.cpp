#include "eeprom/DiagnosisReport.h"

#include "commands/FixtureCommands.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "eeprom/ReportDates.h"
#include "eeprom/UnitDiagnosisReport2.h"
#include "link/AdapterFrames.h"
#include "link/PackFrames.h"
#include "link/PackMessages.h"
#include "mainwindow/CellSpread.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/Ur96Record.h"
#include "platform/Time.h"

#include <algorithm>

namespace qv::eeprom {

namespace ctl = mainwindow::ctl;
namespace msg = link::msg;
namespace r = diagnosisReportCtl;

namespace {

// READ stays off for the whole read; at its end READ and PDF come back before the command set, which marks the
// read's end. The waits after a failed open are kept.
const commands::UrCommandShape kReadShape{
    .worker = "ReadReportWorker",
    .buttons = {ctl::BitBtnPrintReportRead},
    .closeAfterFailedOpen = true,
    .sleepAfterCloseMs = 200,
    .onAtEnd = {ctl::BitBtnPrint},
};

constexpr std::array<uint8_t, 3> kNoData{0, 0, 0};
constexpr int kReportWindowHeight = 986;

// A zero-terminated field's text, never past the field.
template <size_t N>
QString fieldText(const std::array<char, N>& field) {
  return QString::fromLatin1(mainwindow::evtText(field));
}

QString dateText(const ReportDate& d) {
  return QString::number(d.year) + "-" + QString::number(d.month) + "-" + QString::number(d.day);
}

// One question and its answer: a true result when the answer to (id, index) was accepted.
bool ask(link::Link& link, uint16_t id, uint16_t index, int waitMs) {
  link::SendPackCommand(link, id, index, kNoData, 0);
  platform::sleepMs(waitMs);
  return link::ReceivePackAnswerTo(link, id, index);
}

bool ask24(link::Link& link, uint16_t id, uint16_t index, uint32_t value, int waitMs) {
  link::SendPackCommand24(link, id, index, value, 0);
  platform::sleepMs(waitMs);
  return link::ReceivePackAnswerTo(link, id, index);
}

}  // namespace

void ClearReportReadFields(mainwindow::ReportRecord& report) {
  report.firmwareId = {};
  report.cellType = {};
  report.designCapacity = 0;
  report.cellsInSeries = 0;
  report.cellsInParallel = 0;
  report.cycleCount = 0;
  report.stateOfCharge = 0;
  report.packCurrent = 0;
  report.protectionFlags = 0;
  report.fullChargeCapacity = 0;
  report.packVoltage = 0;
  report.t1 = 0;
  report.cellVoltages = {};
  report.maxCellVoltage = 0;
  report.minCellVoltage = 0;
  report.chargeEventTotal = 0;
  report.dischargeEventTotal = 0;
  report.totalChargeCapacity = 0;
}

DiagnosisReport::DiagnosisReport(platform::Services& services, link::Link& link, mainwindow::MainState& state,
                                 EepromRecords& records, commands::UrCommandRunner::StartWorker start)
    : controls_(services.controls),
      services_(services),
      state_(state),
      records_(records),
      runner_(link, std::move(start)) {}

void DiagnosisReport::BitBtnPrintReportReadClick() {
  runner_.Start(kReadShape, [this] { ReadReportWorker(); });
}

void DiagnosisReport::ReadReportWorker() {
  runner_.Run(kReadShape, [this](link::Link& link) {
    state_.RunFlag.set(1);
    ReadDiagnosisReport(link);
  });
  platform::sleepMs(500);
}

void DiagnosisReport::BitBtnPrintClick() {
  // The operator reads the report first; closing the window offers the print dialog.
  controls_.setVisible(r::FormDiagnosisReport, true);
  services_.gui().showModal(r::FormDiagnosisReport, kReportWindowHeight);
  services_.gui().printWindow(r::FormDiagnosisReport);
}

void DiagnosisReport::ClearDiagnosisReport() {
  history_ = {};
  historyLabels_ = {};
  ClearReportLabels(controls_);
}

void DiagnosisReport::stepProgress() {
  const int next = controls_.position(ctl::ProgressBarEEPRead) + 1;
  controls_.setPosition(ctl::ProgressBarEEPRead, std::min(next, controls_.maximum(ctl::ProgressBarEEPRead)));
}

void DiagnosisReport::ReadDiagnosisReport(link::Link& link) {
  const auto stop = [] { platform::sleepMs(100); };
  platform::sleepMs(500);
  ClearDiagnosisReport();
  state_.report.with(ClearReportReadFields);
  for (Control button : {ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust, ctl::BitBtnWCellmOmhAdjust})
    controls_.setEnabled(button, false);
  controls_.setPosition(ctl::ProgressBarEEPRead, 0);

  state_.DetectedUrVariant = mainwindow::kVariantNone;
  const uint8_t variant = mainwindow::DetectUrVariant(link, state_.RunFlag);
  state_.DetectedUrVariant = variant;
  if (variant == mainwindow::kVariantUr74) {
    controls_.setPanel(ctl::StatusBarView, 1, QStringLiteral(" UR74 Mode "));
    return;
  }
  if (variant == mainwindow::kVariantUr96) controls_.setPanel(ctl::StatusBarView, 1, QStringLiteral(" UR96 Mode "));

  // The list counts, for the progress bar: a count that does not come is 0, not what an earlier read left.
  records_.zeroBlock(EepList::Lead);
  records_.zeroBlock(EepList::Last);
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (ask24(link, msg::kEepLeadCount, 0, 0, 50)) break;
    platform::sleepMs(50);
  }
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (ask24(link, msg::kEepLastCount, 0, 0, 50)) break;
    platform::sleepMs(50);
    if (records_.count(EepList::Last) > 0) break;
  }
  // One step each for the record, the cells and the header items, one for every record of the two lists.
  const uint32_t records = records_.count(EepList::Lead) + records_.count(EepList::Last);
  controls_.setMaximum(ctl::ProgressBarEEPRead, static_cast<int>(std::min<uint32_t>(records + 3, INT32_MAX)));

  for (int attempt = 1; attempt <= 5; ++attempt) {
    link::SendUr96Query(link);
    platform::sleepMs(200);
    if (mainwindow::ReadUr96Record(link, controls_, state_)) break;
    if (attempt == 5) state_.RunFlag.set(0);
    platform::sleepMs(100);
  }
  if (!state_.RunFlag.running()) return stop();
  stepProgress();

  const mainwindow::ReportRecord read = state_.report.snapshot();
  const QString today = platform::now().toString(QStringLiteral("yyyy-MM-dd"));
  controls_.setText(r::Label_DateNow, today);
  controls_.setText(r::Label_ModelName, fieldText(read.firmwareId));
  controls_.setText(r::Label_DC, QString::number(read.designCapacity) + " mAh");
  controls_.setText(r::Label_CellCfg,
                    QString::number(read.cellsInSeries) + "S" + QString::number(read.cellsInParallel) + "P");
  controls_.setText(r::Label_ReadOutDate, controls_.text(r::Label_DateNow));
  controls_.setText(r::Label_ReadOutTime, platform::now().toString(QStringLiteral("HH:mm:ss")));
  controls_.setText(r::Label_CycleCnt, QString::number(read.cycleCount));
  controls_.setText(r::Label_PSOC, QString::number(read.stateOfCharge) + " %");
  controls_.setText(r::Label_ChgDsgCurrentmA, QString::number(read.packCurrent) + " mA");
  controls_.setText(r::Label_PackVoltage, QString::number(read.packVoltage) + " mV");
  controls_.setText(r::Label_FCC, QString::number(read.fullChargeCapacity) + " mAh");
  controls_.setText(r::Label_T1, QString::number(read.t1) + " Deg. C");
  if (!state_.RunFlag.running()) return stop();

  controls_.setText(r::Label_ProtectFlag, ProtectionFlagText(read.protectionFlags));
  if (!state_.RunFlag.running()) return stop();
  platform::sleepMs(50);

  for (uint16_t index = 1; index <= 4; ++index) {
    ask(link, msg::kCellVoltages, index, 100);
    if (!state_.RunFlag.running()) return stop();
  }
  // No series count reaches past the cells the record holds.
  const auto [highest, lowest] = state_.report.with([](mainwindow::ReportRecord& rep) {
    const auto n = std::min<uint32_t>(rep.cellsInSeries, static_cast<uint32_t>(rep.cellVoltages.size()));
    rep.maxCellVoltage = static_cast<uint16_t>(mainwindow::MaxOfU32(rep.cellVoltages.data(), n));
    rep.minCellVoltage = static_cast<uint16_t>(mainwindow::MinOfU32(rep.cellVoltages.data(), n));
    return std::pair{rep.maxCellVoltage, rep.minCellVoltage};
  });
  controls_.setText(r::Label_MaxCellVolt, QString::number(highest) + " mV");
  controls_.setText(r::Label_MinCellVolt, QString::number(lowest) + " mV");
  controls_.setText(r::Label_CellImbalance, QString::number(int{highest} - int{lowest}) + " mV");
  if (!state_.RunFlag.running()) return stop();
  stepProgress();

  for (uint16_t index = 1; index <= 2; ++index) {
    ask(link, msg::kEepCellType, index, 50);
    platform::sleepMs(10);
  }
  controls_.setText(r::Label_CellType, fieldText(state_.report.snapshot().cellType));
  if (!state_.RunFlag.running()) return stop();

  ask(link, msg::kEepChargeStartTotal, 0, 50);
  platform::sleepMs(50);
  const QString charges = QString::number(state_.report.snapshot().chargeEventTotal) + " times";
  controls_.setText(r::Label_TotalChgEvtCnt, charges);
  controls_.setText(r::Label_TotalWarrantyCnt, charges);
  ask(link, msg::kEepDischargeStartTotal, 0, 50);
  platform::sleepMs(50);
  const mainwindow::ReportRecord totals = state_.report.snapshot();
  controls_.setText(r::Label_TotalDsgEvtCnt, QString::number(totals.dischargeEventTotal) + " times");
  controls_.setText(r::Label_ReportTotalCC, QString::number(totals.totalChargeCapacity) + " mA");

  records_.zeroAll();

  if (!readFixtureVoltage(link, ctl::EditChgVolt, commands::ReadFixtureChgVolt, r::LabelTestChgVolt, true))
    return stop();
  controls_.setText(r::LabelTestChgCurrent, controls_.text(ctl::EditPackCurrent) + " mA");
  readFixtureVoltage(link, ctl::EditDsgVolt, commands::ReadFixtureDsgVolt, r::LabelTestDsgVolt, false);
  controls_.setText(r::LabelTestDsgCurrent, controls_.text(ctl::EditPackCurrent) + " mA");
  commands::TestSocIndicatorVoltage(link, {r::LabelTestSOCVolt, r::LabelTestDsgVolt, r::LabelTestResultDsgVolt});

  ReadReportHeaderItems(link);
  stepProgress();
  if (variant == mainwindow::kVariantUr96) ShowModelRatings();

  state_.report.with([&](mainwindow::ReportRecord& rep) { StartHistoryRead(rep, history_); });
  AnalyzeRecords(link, EepList::Lead);
  AnalyzeRecords(link, EepList::Last);
  platform::sleepMs(100);
}

bool DiagnosisReport::readFixtureVoltage(link::Link& link, Control edit, bool (*read)(link::Link&, bool*),
                                         Control label, bool stopTest) {
  const QString kept = controls_.text(edit);
  controls_.setText(edit, QString());
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) platform::sleepMs(300);
    read(link, nullptr);
    if (!controls_.text(edit).isEmpty()) break;
  }
  // A STOP meanwhile still gives the box its text back.
  const bool stopped = stopTest && !state_.RunFlag.running();
  if (!stopped && !controls_.text(edit).isEmpty()) controls_.setText(label, controls_.text(edit) + " mV");
  controls_.setText(edit, kept);
  return !stopped;
}

void DiagnosisReport::ReadReportHeaderItems(link::Link& link) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (ask24(link, msg::kEepHeaderCount, 0, 0, 50)) break;
    platform::sleepMs(50);
  }
  if (records_.header().header.byteCount == 0) return;

  state_.RunFlag.set(1);
  [&] {
    ask(link, msg::kEepChargeStartTotal, 0, 50);
    platform::sleepMs(50);
    if (!state_.RunFlag.running()) return;
    ask(link, msg::kEepDischargeStartTotal, 0, 50);
    if (!state_.RunFlag.running()) return;
    for (int pass = 0; pass < 3; ++pass) {
      int answered = 0;
      for (uint16_t part = 1; part <= 4; ++part) answered += ask(link, msg::kEepBarcode, part, 100) ? 1 : 0;
      if (answered == 4) break;
      platform::sleepMs(300);
    }
  }();
  const mainwindow::ReportRecord totals = state_.report.snapshot();
  controls_.setText(r::Label_TotalChgEvtCnt, QString::number(totals.chargeEventTotal));
  controls_.setText(r::Label_TotalDsgEvtCnt, QString::number(totals.dischargeEventTotal));
  controls_.setText(r::Label_TotalWarrantyCnt, QString::number(totals.chargeEventTotal) + " times");
}

void DiagnosisReport::ShowModelRatings() {
  const QByteArray model = mainwindow::evtText(state_.report.snapshot().firmwareId);
  if (IsRatedModel(model)) {
    controls_.setText(r::Label_MaxCghCurrent, QStringLiteral("6.0 A"));
    controls_.setText(r::Label_MaxChgVoltage, QStringLiteral("42.0 V"));
    controls_.setText(r::Label_MaxDsgCurrentA, QStringLiteral("20 A"));
    controls_.setText(r::Label_PulseDsgCurrentA, QStringLiteral("35 A"));
    controls_.setText(r::Label_PulseDsgDurationSec, QStringLiteral("3 sec"));
  }
  controls_.setText(r::Label_WarrantyCycle, WarrantyText(model, state_.CellDesignCapacity.load()));
  controls_.setText(r::Label_MFTName, QStringLiteral("Orlenza"));

  const QByteArray barcode = mainwindow::evtText(records_.header().barcode);
  controls_.setText(r::Label_Barcode, QString::fromLatin1(barcode));
  const BarcodeDates dates = DatesFromBarcode(barcode);
  state_.report.with([&](mainwindow::ReportRecord& rep) {
    rep.barcodeTail = {};
    std::copy_n(dates.tail.constData(), std::min<qsizetype>(dates.tail.size(), 8), rep.barcodeTail.begin());
    rep.week = dates.week;
    if (!dates.expiry) return;
    rep.expiryYear = static_cast<uint16_t>(dates.expiry->year);
    rep.expiryYearOffset = static_cast<uint8_t>(dates.expiry->year - 2000);
    rep.expiryMonth = static_cast<uint8_t>(dates.expiry->month);
    rep.expiryDay = static_cast<uint8_t>(dates.expiry->day);
  });
  if (!dates.manufacture || !dates.expiry) return;
  controls_.setText(r::Label_MftDate, dateText(*dates.manufacture));
  controls_.setText(r::Label_ExpDate, dateText(*dates.expiry));
}

void DiagnosisReport::AnalyzeRecords(link::Link& link, EepList list) {
  if (list == EepList::Lead) controls_.setText(r::Label_FstFullChgDate, QString());
  const EepListIds ids = eepListIds(list);
  // A count that does not come reads 0: the list is skipped.
  records_.zeroBlock(list);
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (ask24(link, ids.count, 0, 0, 50)) break;
    platform::sleepMs(100);
  }
  // Kept here: zeroing the buffer before each record zeroes its count too.
  const uint32_t count = records_.count(list);
  for (uint32_t number = 1; number <= count; ++number) {
    ReadListRecord(link, records_, list, number);
    stepProgress();
    const mainwindow::EepBlockBuffer buffer = records_.buffer(list).snapshot();
    state_.report.with(
        [&](mainwindow::ReportRecord& rep) { AnalyzeHistoryBuffer(rep, history_, buffer, historyLabels_); });
    showHistoryLabels();
  }
}

void DiagnosisReport::showHistoryLabels() {
  const std::pair<const std::optional<QString>&, Control> lines[] = {
      {historyLabels_.lastChgDate, r::Label_LastChgDate},
      {historyLabels_.lastChgSoc, r::Label_LastChgSOC},
      {historyLabels_.fstFullChgDate, r::Label_FstFullChgDate},
      {historyLabels_.lastFullChgDate, r::Label_LastFullChgDate},
      {historyLabels_.fstDsgDepletionDate, r::Label_FstDsgDepletionDate},
      {historyLabels_.lastDsgDepletionDate, r::Label_LastDsgDepletionDate},
      {historyLabels_.maxChgLowSocSinceDate, r::Label_MaxChgLowSOCsinceDate},
      {historyLabels_.extDsgRecAtDate, r::Label_ExtDsgRecAtDate},
      {historyLabels_.maxDurationLowSoc0Hours, r::Label_MaxDurationLowSOC0Hours},
      {historyLabels_.soc0ChgCap, r::Label_SOC0ChgCap},
  };
  for (const auto& [text, label] : lines) {
    if (text) controls_.setText(label, *text);
  }
}

}  // namespace qv::eeprom
