#include "platform/ExeInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <mutex>

#ifndef QV_VERSION_TEXT
#define QV_VERSION_TEXT "V1.0.4"
#endif

namespace qv::platform {
namespace {

std::mutex g_mutex;
ExeInfo g_info{QStringLiteral("./"), QStringLiteral("quvexa")};
std::atomic<bool> g_versionReadable{true};

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

bool versionBlockReadable() { return g_versionReadable.load(); }
void setVersionBlockReadable(bool readable) { g_versionReadable.store(readable); }
QString versionBlockText() { return QStringLiteral(QV_VERSION_TEXT); }

}  // namespace qv::platform
