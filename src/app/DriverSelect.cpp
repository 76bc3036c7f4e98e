#include "app/DriverSelect.h"

#include "platform/Backends.h"
#include "sim/SimSetups.h"

#include <cstdio>
#include <cstdlib>

namespace qv::app {

std::unique_ptr<platform::Driver> makeDriver(const QString& setting) {
  if (setting.isEmpty()) return platform::makeLibftdiDriver();
  if (setting == QLatin1String("sim") || setting.startsWith(QLatin1String("sim:"))) {
    const QString pack = setting.mid(4);
    auto driver = sim::makeSimDriver(pack.toStdString());
    if (driver) return driver;
    std::fprintf(stderr, "QUVEXA_ADAPTER: no simulated pack named \"%s\"\n", pack.toLocal8Bit().constData());
    return sim::makeSimDriver("");
  }
  if (setting.startsWith(QLatin1String("tty:"))) {
    return platform::makeTtyDriver(setting.mid(4).split(QLatin1Char(','), Qt::SkipEmptyParts));
  }
  std::fprintf(stderr, "QUVEXA_ADAPTER=\"%s\" is not understood; using the USB adapters\n",
               setting.toLocal8Bit().constData());
  return platform::makeLibftdiDriver();
}

std::unique_ptr<platform::Driver> makeDriverFromEnvironment() {
  const char* value = std::getenv("QUVEXA_ADAPTER");
  return makeDriver(value != nullptr ? QString::fromLocal8Bit(value) : QString());
}

}  // namespace qv::app
