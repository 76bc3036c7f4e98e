#include "link/Profiles.h"

#include "platform/ExeInfo.h"

#include <cstring>
#include <mutex>

namespace qv::link {
namespace {

std::mutex g_mutex;
QString g_exeDirectory;

}  // namespace

void SetExeDirectoryFromExecutable() {
  const QString folder = platform::writeFolder();
  std::lock_guard lock(g_mutex);
  g_exeDirectory = folder;
}

QString ExeDirectory() {
  std::lock_guard lock(g_mutex);
  return g_exeDirectory;
}

bool ExeNameStartsWith(const char* prefix) {
  SetExeDirectoryFromExecutable();
  const QByteArray name = platform::exeInfo().fileName.toLatin1();
  const size_t n = std::strlen(prefix);
  if (static_cast<size_t>(name.size()) < n) return false;
  return std::memcmp(name.constData(), prefix, n) == 0;
}

Profile CurrentProfile() {
  for (const ProfilePrefix& p : ProfilePrefixTable) {
    if (ExeNameStartsWith(p.prefix)) return p.profile;
  }
  return Profile::None;
}

QString GetVersionText() {
  return platform::versionBlockReadable() ? platform::versionBlockText() : QString();
}

}  // namespace qv::link
