#pragma once
// The diagnosis report read of the main window's page "DIA" and its "PDF": READ fills the report window from a
// UR96 pack (its record, the cell voltages, cell type and event totals, the fixture's three measurements, the
// EEPROM header's totals and barcode, the ratings and dates, then the history of the LEAD and LAST lists); PDF
// shows the window and prints it.
//
// Every field this read asks the pack for is emptied at its start, so that a pack that does not answer shows
// empty lines or zeros, never the previous pack's values. Every wait runs on the read's worker; the GUI thread
// only starts it, and shows and prints the window.

#include "commands/UrCommand.h"
#include "eeprom/EepromRecords.h"
#include "eeprom/HistoryAnalysis.h"
#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "platform/Services.h"

#include <QByteArray>

#include <cstdint>

namespace qv::eeprom {

class DiagnosisReport {
 public:
  DiagnosisReport(platform::Services& services, link::Link& link, mainwindow::MainState& state, EepromRecords& records,
                  commands::UrCommandRunner::StartWorker start = {});

  // READ and PDF, on the GUI thread.
  void BitBtnPrintReportReadClick();
  void BitBtnPrintClick();

  // The read's worker: open, read, close; READ, PDF and the command set back at its end, whatever the outcome.
  void ReadReportWorker();
  // The whole read, on the open adapter with the exchange lock held.
  void ReadDiagnosisReport(link::Link& link);

  // Empties every value label of the report window and resets the history state.
  void ClearDiagnosisReport();

 private:
  void ReadReportHeaderItems(link::Link& link);
  void ShowModelRatings();
  // Reads the charge or discharge voltage of the fixture into its edit box, the box's own text kept and given
  // back; true unless the run was stopped meanwhile.
  bool readFixtureVoltage(link::Link& link, Control edit, bool (*read)(link::Link&, bool*), Control label,
                          bool stopTest);
  // Reads every record of a list and hands each to the history analysis (AnalyzeLeadRecords, AnalyzeLastRecords).
  void AnalyzeRecords(link::Link& link, EepList list);
  void showHistoryLabels();
  void stepProgress();

  Controls& controls_;
  platform::Services& services_;
  mainwindow::MainState& state_;
  EepromRecords& records_;
  commands::UrCommandRunner runner_;
  // The worker's own: one read runs at a time.
  ReportHistoryState history_;
  HistoryLabels historyLabels_;
};

// Empties the fields of the report record that a report read asks the pack for.
void ClearReportReadFields(mainwindow::ReportRecord& report);

}  // namespace qv::eeprom
