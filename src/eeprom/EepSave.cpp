#include "eeprom/EepSave.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace qv::eeprom {

namespace {

constexpr int kMaxNameLength = 64;
constexpr int kMaxNumber = 1000;
const char* const kPages[] = {"Header", "Protect", "LEAD", "LAST"};

QString stampText(const QDateTime& stamp) { return stamp.toString(QStringLiteral("yyyyMMdd_HHmmss")); }

}  // namespace

QString SafeFileName(const QString& name) {
  QString safe = name;
  for (QChar& c : safe) {
    if (c == '/' || c == '\\' || c.unicode() < 0x20 || c.unicode() == 0x7F) c = '_';
  }
  while (safe.contains(QStringLiteral(".."))) safe.replace(QStringLiteral(".."), QStringLiteral("_"));
  safe.truncate(kMaxNameLength);
  if (safe == ".") safe = QStringLiteral("_");
  return safe;
}

QString EepSaveName(const QString& firmwareId, const QString& firmwareVersion) {
  if (firmwareId.isEmpty()) return QStringLiteral("EEP_NULL");
  return SafeFileName("EEP_" + firmwareId + "_V" + firmwareVersion);
}

QByteArray EepPageFileBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toLatin1() + "\r\n";
  return bytes;
}

EepSaveResult SaveEepromLog(const QString& exeFolder, const QString& saveName, const QDateTime& stamp,
                            const std::array<QStringList, 4>& pages) {
  EepSaveResult result;
  result.folder = exeFolder + "EEPROM_Log/" + saveName;
  if (!QDir().mkpath(result.folder)) {
    result.error = QStringLiteral("cannot make the folder");
    return result;
  }
  // The first stem none of whose four files is there yet.
  const QString base = saveName + "_" + stampText(stamp);
  QString stem;
  for (int k = 0; k < kMaxNumber && stem.isEmpty(); ++k) {
    const QString candidate = k == 0 ? base : base + "_" + QString::number(k);
    bool free = true;
    for (const char* page : kPages)
      free = free && !QFileInfo::exists(result.folder + "/" + candidate + "_" + page + ".txt");
    if (free) stem = candidate;
  }
  if (stem.isEmpty()) {
    result.error = QStringLiteral("no free file name");
    return result;
  }
  QStringList written;
  for (size_t i = 0; i < pages.size(); ++i) {
    const QString path = result.folder + "/" + stem + "_" + kPages[i] + ".txt";
    QSaveFile file(path);
    const QByteArray bytes = EepPageFileBytes(pages[i]);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
      for (const QString& done : written) QFile::remove(done);
      result.error = "cannot write " + QFileInfo(path).fileName();
      return result;
    }
    written << path;
  }
  result.ok = true;
  return result;
}

QByteArray ProtectLogHeader() {
  // clang-format off
  static const char* const kColumns[] = {"Date",       "Time",        "Pack Current (mA)", "Pack Voltage (mV)",
                                         "SOC",        "T1(Deg.C)",   "Volt Diff",         "Cycle Count",
                                         "Ptt/Evt Flag", "Chg/Dsg",   "UT",                "OT",
                                         "SC",         "OC",          "UV",                "OV",
                                         "Event"};
  // clang-format on
  QByteArray line;
  for (const char* c : kColumns) line += QByteArray(c) + ", ";
  return line + "\r\n";
}

std::unique_ptr<QFile> CreateProtectLog(const QString& exeFolder, const QDateTime& stamp) {
  const QString run = "UART_" + stampText(stamp);
  const QString folder = exeFolder + run;
  if (!QDir().mkpath(folder)) return nullptr;
  for (int n = 1; n < kMaxNumber; ++n) {
    auto file = std::make_unique<QFile>(folder + "/" + run + "_Protectlog_" + QString::number(n) + ".csv");
    if (file->exists()) continue;
    // NewOnly: an earlier log is never replaced.
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) return nullptr;
    const QByteArray header = ProtectLogHeader();
    if (file->write(header) != header.size() || !file->flush()) {
      file->remove();
      return nullptr;
    }
    return file;
  }
  return nullptr;
}

}  // namespace qv::eeprom
