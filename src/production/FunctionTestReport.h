#pragma once
// The Function Test's report file: the run's whole log, in Big5 with CR LF line ends, under Test_Report in a
// folder per work number, named by barcode, time and result. Names come from what the operator typed, so they
// are made safe first; a report is written whole or not at all and never replaces an earlier one.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace qv::production {

// A work number or barcode as a folder or file name: "/", "\", ":", "*", "?", '"', "<", ">", "|" and control
// characters become "_", and so do the dots a name starts with (they would hide it); an empty name, one of blanks
// alone or of dots alone becomes "NULL".
QString SafeReportName(const QString& text);

// "<barcode>_<yyyymmdd_hhnnss>_<result>" with the names made safe; the file is this and ".txt", or "_2.txt",
// "_3.txt", ... when that name is taken.
QString ReportStem(const QString& barcode, const QDateTime& when, const QString& result);

// The file's bytes: each line in Big5, ended by CR LF.
QByteArray ReportBytes(const QStringList& lines);

struct ReportWritten {
  QString path;  // the file written, or the one that could not be
  bool ok = false;
};

// Creates <folder>/Test_Report/<work number> as needed and writes the lines into a new file there.
ReportWritten WriteTestReport(const QString& folder, const QString& workNumber, const QString& barcode,
                              const QDateTime& when, const QString& result, const QStringList& lines);

}  // namespace qv::production
