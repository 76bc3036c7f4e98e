#include "platform/ExeInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

// The desktop entry as the install puts it, relative to the folder of the installed program.
#ifndef QV_INSTALLED_DESKTOP_ENTRY
#define QV_INSTALLED_DESKTOP_ENTRY "../share/applications/quvexa.desktop"
#endif

#ifndef QV_VERSION_TEXT
#define QV_VERSION_TEXT "V1.0.4"
#endif

namespace qv::platform {
namespace {

std::mutex g_mutex;
ExeInfo g_info{QStringLiteral("./"), QStringLiteral("quvexa")};

}  // namespace

void initExeInfo(const char* argv0) {
  QString path = QString::fromLocal8Bit(argv0 != nullptr ? argv0 : "quvexa");
  // A name without a folder was found on the search path by the shell, not in the current folder.
  if (!path.contains(QLatin1Char('/'))) {
    const QString found = QStandardPaths::findExecutable(path);
    if (!found.isEmpty()) path = found;
  }
  const QFileInfo file(QDir::current(), path);
  ExeInfo info;
  info.folder = file.absolutePath();
  if (!info.folder.endsWith(QLatin1Char('/'))) info.folder += QLatin1Char('/');
  info.fileName = file.fileName();
  setExeInfo(info);
}

void setExeInfo(const ExeInfo& info) {
  std::lock_guard lock(g_mutex);
  g_info = info;
}

ExeInfo exeInfo() {
  std::lock_guard lock(g_mutex);
  return g_info;
}

bool writesToDataFolder() {
  const QString folder = exeInfo().folder;
  const QFileInfo info(folder);
  // A folder that is not there is not known to be read-only: what is written under it makes it, as before.
  return (info.exists() && !info.isWritable()) ||
         QFileInfo::exists(folder + QStringLiteral(QV_INSTALLED_DESKTOP_ENTRY));
}

QString writeFolder() {
  if (!writesToDataFolder()) return exeInfo().folder;
  QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  // Made here, so that what goes under it only makes its own sub-folder; a failure shows where that write fails.
  QDir().mkpath(folder);
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QString versionBlockText() { return QStringLiteral(QV_VERSION_TEXT); }

}  // namespace qv::platform
