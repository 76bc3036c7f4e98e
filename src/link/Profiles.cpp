#include "link/Profiles.h"

#include "platform/ExeInfo.h"

#include <cstring>

namespace qv::link {

QString ExeDirectory() { return platform::writeFolder(); }

bool ExeNameStartsWith(const char* prefix) {
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

QString GetVersionText() { return platform::exeInfo().version; }

}  // namespace qv::link
