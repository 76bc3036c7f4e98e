#pragma once
// The monitor CSV log of a UR74 or UR96 run: a new file "UR_yyyymmdd_hhnnss_log_N.csv" in the folder
// "Monitor_Log" under the executable's folder, a header line when the run starts and one line per poll cycle
// copying what the UR page shows.
//
// Every line ends with CR LF. The header holds the 43 column names, each followed by ", ". A data line holds the
// 43 fields; the first three are followed by ", ", every later one by ",". Fields are the controls' texts as
// 8-bit text, except that a comma, CR or LF in a text becomes a blank and a double quote a single quote, so no
// text can add, join or quote columns: every line has the header's columns for any CSV reader.

#include "platform/Controls.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <memory>

namespace qv::mainwindow {

// An open log. Closed when it goes, on every way out of the run.
class MonitorLog {
 public:
  explicit MonitorLog(std::unique_ptr<QFile> file) : file_(std::move(file)) {}
  MonitorLog(const MonitorLog&) = delete;
  MonitorLog& operator=(const MonitorLog&) = delete;

  QString path() const { return file_->fileName(); }
  // Writes the line whole and flushes it; false when the file took less.
  bool write(const QByteArray& line);
  // Closes and deletes the file: a log that lost its header is no log.
  void remove();

 private:
  std::unique_ptr<QFile> file_;
};

// The panel-2 message when logging is on and no log can be created; monitoring goes on without one.
inline constexpr char kMonitorLogFailedText[] = " Log file can't be created ";

// Not enabled: nothing is created. Otherwise creates the folder when needed and a log whose name is taken from
// the local time (the number after "_log_" counts up from 0 past any file of the same name, so no log replaces
// another) and writes its header. When it cannot, says so in StatusBarView panel 2 and returns nothing.
std::unique_ptr<MonitorLog> CreateMonitorLog(bool enabled, Controls& controls);

// Appends one data line built from the controls, stamped with one clock reading. No log: nothing.
void WriteMonitorLogLine(MonitorLog* log, const Controls& controls);

// The time column: "hh:mm:ss.zzz" (hour 00 to 23, milliseconds with leading zeros) of one clock reading.
QString FormatLogTime(const QDateTime& stamp);

// The header line, CR LF included.
QByteArray MonitorLogHeader();
// The data line for a clock reading, CR LF included.
QByteArray MonitorLogLine(const QDateTime& stamp, const Controls& controls);

}  // namespace qv::mainwindow
