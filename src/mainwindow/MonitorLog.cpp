#include "mainwindow/MonitorLog.h"

#include "link/Profiles.h"
#include "platform/Time.h"

#include "mainwindow/MainFormControls.h"

#include <QDir>

#include <array>

namespace qv::mainwindow {
namespace {

// The columns after date and time: the control each copies, and whether it is a flag box (written "1" when
// painted red, else "0") rather than a text.
struct Column {
  const char* header;
  Control control;
  bool flag;
};

constexpr std::array<Column, 41> kColumns = {{
    {"RTC", ctl::EditRTC, false},
    {"Barcode", ctl::EditBarCode32, false},
    {"Shipping Mode", ctl::CheckBoxShippingModeReadOnly, false},
    {"PName", ctl::EditFWID, false},
    {"PVer", ctl::EditFWVer, false},
    {"Pack Volt(mV)", ctl::EditPackVolt, false},
    {"Current (mA)", ctl::EditPackCurrent, false},
    {"Cell Series", ctl::EditCellSeries, false},
    {"Cell Parallel", ctl::EditCellParallel, false},
    {"Design Capacity(mA)", ctl::EditDC, false},
    {"Full Charge Capacity(mA)", ctl::EditFCC, false},
    {"Remain Capacity(mA)", ctl::EditRC, false},
    {"Total Charge Capacity(mA)", ctl::EditTCC, false},
    {"Cycle Cnt", ctl::EditCycleCnt, false},
    {"PSOH", ctl::EditASOC, false},
    {"RSOC", ctl::EditRSOC, false},
    {"T1 Deg.C", ctl::EditT1, false},
    {"T2 Deg.C", ctl::EditT2, false},
    {"Chg/Dag", ctl::EditCurrentSign, false},
    {"OV Flag", ctl::EditOVF, true},
    {"UV Flag", ctl::EditUVF, true},
    {"OC Flag", ctl::EditOCF, true},
    {"SC  Flag", ctl::EditSCF, true},
    {"OT Flag", ctl::EditOTF, true},
    {"UT Flag", ctl::EditUTF, true},
    {"Max VCell", ctl::Edit_HVlot, false},
    {"Min VCell", ctl::Edit_LVolt, false},
    {"Cell Balance", ctl::Edit_VoltDiff, false},
    {"VCell1", ctl::EditVCell1, false},
    {"VCell2", ctl::EditVCell2, false},
    {"VCell3", ctl::EditVCell3, false},
    {"VCell4", ctl::EditVCell4, false},
    {"VCell5", ctl::EditVCell5, false},
    {"VCell6", ctl::EditVCell6, false},
    {"VCell7", ctl::EditVCell7, false},
    {"VCell8", ctl::EditVCell8, false},
    {"VCell9", ctl::EditVCell9, false},
    {"VCell10", ctl::EditVCell10, false},
    {"VCell11", ctl::EditVCell11, false},
    {"VCell12", ctl::EditVCell12, false},
    {"VCell13", ctl::EditVCell13, false},
}};

constexpr int kMaxLogNumber = 1000;
const QByteArray kLineEnd("\r\n");

QByteArray field(const QString& text) {
  QByteArray bytes = text.toLatin1();
  for (char& c : bytes) {
    if (c == ',' || c == '\r' || c == '\n') c = ' ';
    else if (c == '"') c = '\'';
  }
  return bytes;
}

QByteArray columnField(const Column& column, const Controls& controls) {
  if (column.flag) return controls.color(column.control) == colour::Red ? "1" : "0";
  return field(controls.text(column.control));
}

std::unique_ptr<QFile> createLogFile(const QString& folder, const QString& stem) {
  for (int n = 0; n < kMaxLogNumber; ++n) {
    auto file = std::make_unique<QFile>(QStringLiteral("%1/%2_log_%3.csv").arg(folder, stem).arg(n));
    if (file->exists()) continue;
    // NewOnly: a file that appeared meanwhile is never replaced.
    if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) return file;
    if (!file->exists()) return nullptr;
  }
  return nullptr;
}

}  // namespace

bool MonitorLog::write(const QByteArray& line) { return file_->write(line) == line.size() && file_->flush(); }

void MonitorLog::remove() { file_->remove(); }

QString FormatLogTime(const QDateTime& stamp) { return stamp.toString(QStringLiteral("HH:mm:ss.zzz")); }

QByteArray MonitorLogHeader() {
  QByteArray line = "Date, Time, ";
  for (const Column& c : kColumns) line += QByteArray(c.header) + ", ";
  return line + kLineEnd;
}

QByteArray MonitorLogLine(const QDateTime& stamp, const Controls& controls) {
  QByteArray line = stamp.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() + ", ";
  line += FormatLogTime(stamp).toLatin1() + ", ";
  // The RTC, the third field, is the last one followed by ", ".
  for (size_t i = 0; i < kColumns.size(); ++i) line += columnField(kColumns[i], controls) + (i == 0 ? ", " : ",");
  return line + kLineEnd;
}

std::unique_ptr<MonitorLog> CreateMonitorLog(bool enabled, Controls& controls) {
  if (!enabled) return nullptr;
  const QString folder = link::ExeDirectory() + QStringLiteral("Monitor_Log");
  const QString stem = QStringLiteral("UR_") + platform::now().toString(QStringLiteral("yyyyMMdd_HHmmss"));
  if (QDir().mkpath(folder)) {
    if (auto file = createLogFile(folder, stem)) {
      auto log = std::make_unique<MonitorLog>(std::move(file));
      if (log->write(MonitorLogHeader())) return log;
      log->remove();
    }
  }
  controls.setPanel(ctl::StatusBarView, 2, QString::fromLatin1(kMonitorLogFailedText));
  return nullptr;
}

void WriteMonitorLogLine(MonitorLog* log, const Controls& controls) {
  if (log != nullptr) log->write(MonitorLogLine(platform::now(), controls));
}

}  // namespace qv::mainwindow
