#include "production/FunctionTestReport.h"

#include "platform/Text.h"

#include <QDir>
#include <QFile>

namespace qv::production {

QString SafeReportName(const QString& text) {
  static const QString kUnsafe = QStringLiteral("/\\:*?\"<>|");
  QString name;
  name.reserve(text.size());
  bool meaningful = false;  // something besides blanks and dots
  bool leading = true;      // still among the dots a name starts with, which would hide the file
  for (const QChar ch : text) {
    if (ch != QLatin1Char('.')) leading = false;
    const bool control = ch.unicode() < 0x20 || ch.unicode() == 0x7F || ch.category() == QChar::Other_Control;
    // A lone surrogate has no UTF-8 form.
    const bool broken = ch.isSurrogate();
    if (control || broken || kUnsafe.contains(ch)) {
      name += QLatin1Char('_');
      meaningful = true;
      continue;
    }
    name += leading ? QLatin1Char('_') : ch;
    if (ch != QLatin1Char('.') && !ch.isSpace()) meaningful = true;
  }
  return meaningful ? name : QStringLiteral("NULL");
}

namespace {
// Work number and barcode come from edits of 32 characters; a longer text is cut so the name stays short.
constexpr int kNameChars = 32;
}  // namespace

QString ReportStem(const QString& barcode, const QDateTime& when, const QString& result) {
  return SafeReportName(barcode.left(kNameChars)) + QLatin1Char('_') +
         when.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QLatin1Char('_') + SafeReportName(result);
}

QByteArray ReportBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) {
    bytes += platform::big5Bytes(line);
    bytes += "\r\n";
  }
  return bytes;
}

namespace {

// Writes a file of its own beside the report and moves it to the first free name, so that the report is whole
// when it appears and no earlier report is replaced.
bool writeNew(const QString& folder, const QString& stem, const QByteArray& bytes, QString* path) {
  QFile part(folder + QLatin1Char('/') + QLatin1Char('.') + stem + QStringLiteral(".part"));
  for (int n = 2; part.exists(); ++n) {
    part.setFileName(folder + QStringLiteral("/.%1.%2.part").arg(stem).arg(n));
  }
  if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
  const bool written = part.write(bytes) == bytes.size() && part.flush();
  part.close();
  if (!written) {
    part.remove();
    return false;
  }
  for (int n = 1; n < 10000; ++n) {
    *path = folder + QLatin1Char('/') + stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) +
            QStringLiteral(".txt");
    if (QFile::exists(*path)) continue;
    // rename refuses a name that exists, so a report that appeared meanwhile is kept too.
    if (part.rename(*path)) return true;
    if (!QFile::exists(*path)) break;
  }
  part.remove();
  return false;
}

}  // namespace

ReportWritten WriteTestReport(const QString& folder, const QString& workNumber, const QString& barcode,
                              const QDateTime& when, const QString& result, const QStringList& lines) {
  ReportWritten written;
  QString base = folder;
  while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
  if (base.isEmpty()) base = QStringLiteral(".");
  if (base == QLatin1String("/")) base.clear();
  const QString dir = base + QStringLiteral("/Test_Report/") + SafeReportName(workNumber.left(kNameChars));
  const QString stem = ReportStem(barcode, when, result);
  written.path = dir + QLatin1Char('/') + stem + QStringLiteral(".txt");
  if (!QDir().mkpath(dir)) return written;
  QString path;
  written.ok = writeNew(dir, stem, ReportBytes(lines), &path);
  if (written.ok) written.path = path;
  return written;
}

}  // namespace qv::production
